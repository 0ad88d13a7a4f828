#include "platform/programdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace programdir {

namespace {

// Set once at start-up (or by a test before it creates its windows); read-only afterwards.
struct Overrides
{
    QString programFile;
    QString dataFolder;
};

Overrides& overrides()
{
    static Overrides o;
    return o;
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

bool writable(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString programFile()
{
    if (!overrides().programFile.isEmpty())
        return overrides().programFile;
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return exe.isEmpty() ? QStringLiteral("/proc/self/exe") : exe;
}

QString programFolder()
{
    return withSlash(QFileInfo(programFile()).absolutePath());
}

QString dataFolder()
{
    if (!overrides().dataFolder.isEmpty())
        return withSlash(overrides().dataFolder);
    const QString beside = programFolder();
    if (writable(beside))
        return beside;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = withSlash(base + QStringLiteral("/tallowmere"));
    if (QDir().mkpath(folder) && writable(folder))
        return folder;
    return beside;
}

void setProgramFileOverride(const QString& path)
{
    overrides().programFile = path;
}

void setDataFolderOverride(const QString& folder)
{
    overrides().dataFolder = folder;
}

} // namespace programdir
