#pragma once
// Where the program file lies and where it keeps its own files.

#include <QString>

namespace programdir {

// The running program file (the link target of /proc/self/exe).
QString programFile();
// Its folder, with a trailing "/". Language modules and built-in files are looked up here.
QString programFolder();
// The folder for the host history, the logs and the test files, with a trailing "/": the
// program's folder when the program may write there, else the user's data folder
// ($XDG_DATA_HOME/tallowmere), created on first use. Never fails: when neither can be
// written the program's folder is returned and the first write reports the reason.
QString dataFolder();

// Test seams: pretend the program file is elsewhere, or force the data folder.
void setProgramFileOverride(const QString& path);
void setDataFolderOverride(const QString& folder);

} // namespace programdir
