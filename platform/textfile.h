#pragma once
// Text files as the program keeps them: the locale's character set, CR LF after every line.
// Every failure raises EInOutError naming the file and the system's reason.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace textfile {

// Whole file as lines. CR LF, LF, a lone CR and a missing final line end are all accepted;
// bytes that are not valid in the character set become replacement characters.
QStringList readLines(const QString& path);
// The first maxLines lines only; reads no further than it needs, so a huge file costs little.
QStringList readFirstLines(const QString& path, int maxLines);

// A file that exists and is read-only (see isReadOnly) is never written, also not by root:
// the functions below raise EInOutError for it.

// Creates or truncates the file and writes every line followed by CR LF.
void rewriteLines(const QString& path, const QStringList& lines);
// Creates or truncates the file and writes the bytes as they are.
void rewriteBytes(const QString& path, const QByteArray& data);
// Creates the file empty if it is missing; an existing file is left as it is.
void createIfMissing(const QString& path);
// Creates the file when missing, otherwise appends; the file is closed again before returning.
void appendLines(const QString& path, const QStringList& lines);
inline void appendLine(const QString& path, const QString& line)
{
    appendLines(path, {line});
}

bool exists(const QString& path);
// True when the file cannot be written: it is missing, carries no write permission for anyone,
// or this process may not write it.
bool isReadOnly(const QString& path);

} // namespace textfile
