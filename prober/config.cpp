#include "prober/config.h"

#include "metrics/registry.h"
#include "platform/copy/filecopy.h"
#include "platform/programdir.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <functional>

namespace prober {

namespace {

const QStringList kMetricsKeys{QStringLiteral("listen")};
const QStringList kPingKeys{QStringLiteral("hosts"),   QStringLiteral("interval"),
                            QStringLiteral("timeout"), QStringLiteral("ttl"),
                            QStringLiteral("size"),    QStringLiteral("log")};
const QStringList kCopyKeys{QStringLiteral("destinations"), QStringLiteral("interval"),
                            QStringLiteral("size"), QStringLiteral("log")};
const QStringList kFilesKeys{QStringLiteral("folder")};

class Reader
{
public:
    explicit Reader(const QString& file) : m_file(file), m_settings(file, QSettings::IniFormat) {}

    [[noreturn]] void fail(const QString& what) const
    {
        throw ConfigError(m_file + QStringLiteral(": ") + what);
    }
    [[noreturn]] void failKey(const QString& key, const QString& shown, const QString& why) const
    {
        fail(QStringLiteral("[%1] %2 = %3: %4").arg(group(key), name(key), shown, why));
    }

    void checkFile()
    {
        const QFileInfo info(m_file);
        if (!info.exists())
            fail(QStringLiteral("no such file"));
        if (info.isDir())
            fail(QStringLiteral("is a folder, not a file"));
        if (!info.isReadable())
            fail(QStringLiteral("cannot be read (permission denied)"));
        if (m_settings.status() == QSettings::FormatError)
            fail(QStringLiteral("is no valid INI file"));
        if (m_settings.status() != QSettings::NoError)
            fail(QStringLiteral("cannot be read"));
        checkKeys();
    }

    bool has(const QString& key) const { return m_settings.contains(key); }
    bool hasGroup(const QString& g) const { return m_settings.childGroups().contains(g); }

    // One value; a list (a comma in it) is an error.
    QString single(const QString& key) const
    {
        const QVariant v = m_settings.value(key);
        if (v.typeId() == QMetaType::QStringList)
            failKey(key, v.toStringList().join(u','), QStringLiteral("one value expected"));
        return v.toString().trimmed();
    }

    int integer(const QString& key, int fallback, int low, int high, const QString& unit) const
    {
        if (!has(key))
            return fallback;
        const QString text = single(key);
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (!ok || value < low || value > high)
            failKey(key, text, QStringLiteral("allowed %1 to %2%3").arg(low).arg(high).arg(unit));
        return value;
    }

    bool boolean(const QString& key, bool fallback) const
    {
        if (!has(key))
            return fallback;
        const QString text = single(key).toLower();
        if (text == u"true" || text == u"yes" || text == u"on" || text == u"1")
            return true;
        if (text == u"false" || text == u"no" || text == u"off" || text == u"0")
            return false;
        failKey(key, single(key), QStringLiteral("allowed true or false"));
    }

    // Comma-separated entries, each trimmed; empty and repeated entries are errors.
    QStringList list(const QString& key) const
    {
        const QVariant v = m_settings.value(key);
        QStringList raw =
            v.typeId() == QMetaType::QStringList ? v.toStringList() : QStringList{v.toString()};
        const QString shown = raw.join(u',');
        QStringList entries;
        for (const QString& entry : raw) {
            const QString e = entry.trimmed();
            if (e.isEmpty())
                failKey(key, shown, QStringLiteral("an empty entry"));
            if (entries.contains(e))
                failKey(key, shown, QStringLiteral("'%1' is listed twice").arg(e));
            entries << e;
        }
        return entries;
    }

private:
    static QString group(const QString& key) { return key.section(u'/', 0, 0); }
    static QString name(const QString& key) { return key.section(u'/', 1); }

    void checkKeys() const
    {
        const QList<std::pair<QString, const QStringList*>> groups{
            {QStringLiteral("metrics"), &kMetricsKeys},
            {QStringLiteral("ping"), &kPingKeys},
            {QStringLiteral("copy"), &kCopyKeys},
            {QStringLiteral("files"), &kFilesKeys}};
        for (const QString& key : m_settings.allKeys()) {
            if (!key.contains(u'/'))
                fail(QStringLiteral("'%1' stands outside a group ([metrics], [ping], [copy], "
                                    "[files])")
                         .arg(key));
            const auto known = std::find_if(groups.begin(), groups.end(),
                                            [&](const auto& g) { return g.first == group(key); });
            if (known == groups.end())
                fail(QStringLiteral("unknown group [%1]").arg(group(key)));
            if (!known->second->contains(name(key)))
                fail(QStringLiteral("[%1] has no key '%2' (known: %3)")
                         .arg(group(key), name(key), known->second->join(QStringLiteral(", "))));
        }
    }

    QString m_file;
    QSettings m_settings;
};

void readPing(const Reader& r, PingSettings& ping)
{
    const QString g = QStringLiteral("ping/");
    if (!r.hasGroup(QStringLiteral("ping")))
        return;
    if (!r.has(g + QStringLiteral("hosts")))
        r.fail(QStringLiteral("[ping] hosts is missing"));
    ping.hosts = r.list(g + QStringLiteral("hosts"));
    const QString seconds = QStringLiteral(" seconds");
    ping.intervalS = r.integer(g + QStringLiteral("interval"), ping.intervalS, 1, 3600, seconds);
    ping.timeOutS = r.integer(g + QStringLiteral("timeout"), ping.timeOutS, 1, 9, seconds);
    ping.ttl = r.integer(g + QStringLiteral("ttl"), ping.ttl, 1, 255, QString());
    ping.dataSize =
        r.integer(g + QStringLiteral("size"), ping.dataSize, 1, 64000, QStringLiteral(" bytes"));
    ping.log = r.boolean(g + QStringLiteral("log"), ping.log);
}

void checkDestination(const Reader& r, const QString& key, const QString& destination)
{
    const QString file = filecopy::withTrailingSeparator(destination) + QStringLiteral("x.txt");
    const filecopy::Destination d = filecopy::classifyDestination(file);
    if (d.kind != filecopy::DestinationKind::Invalid)
        return;
    // The engine's reason quotes the text as written, credentials and all: not repeated here.
    QString why = QStringLiteral("no share folder");
    if (destination.startsWith(u'\\') && !destination.startsWith(QLatin1String("\\\\")))
        why += QStringLiteral(" (write every backslash of a UNC path twice in the file)");
    r.failKey(key, metrics::destinationLabel(destination),
              why + QStringLiteral("; allowed \\\\server\\share\\folder, smb://server/share/"
                                   "folder or an absolute path"));
}

void readCopy(const Reader& r, CopySettings& copy)
{
    const QString g = QStringLiteral("copy/");
    if (!r.hasGroup(QStringLiteral("copy")))
        return;
    if (!r.has(g + QStringLiteral("destinations")))
        r.fail(QStringLiteral("[copy] destinations is missing"));
    copy.destinations = r.list(g + QStringLiteral("destinations"));
    for (const QString& d : copy.destinations)
        checkDestination(r, g + QStringLiteral("destinations"), d);
    copy.intervalS = r.integer(g + QStringLiteral("interval"), copy.intervalS, 10, 3600,
                               QStringLiteral(" seconds"));
    if (r.has(g + QStringLiteral("size"))) {
        const QString text = r.single(g + QStringLiteral("size"));
        copy.fileIndex = -1;
        for (size_t i = 0; i < testfiles::kTestFiles.size(); ++i) {
            if (metrics::copySizeLabel(testfiles::kTestFiles[i].sizeBytes)
                    .compare(text, Qt::CaseInsensitive) == 0)
                copy.fileIndex = int(i);
        }
        if (copy.fileIndex < 0)
            r.failKey(g + QStringLiteral("size"), text,
                      QStringLiteral("allowed 100KB, 1MB or 5MB"));
    }
    copy.log = r.boolean(g + QStringLiteral("log"), copy.log);
}

} // namespace

Config readConfig(const QString& file)
{
    Reader r(file);
    r.checkFile();
    Config config;
    if (r.has(QStringLiteral("metrics/listen"))) {
        const QString text = r.single(QStringLiteral("metrics/listen"));
        QString why;
        config.listen = metrics::parseListenAddress(text, &why);
        if (!config.listen)
            r.failKey(QStringLiteral("metrics/listen"), text, why);
    }
    readPing(r, config.ping);
    readCopy(r, config.copy);
    if (config.ping.hosts.isEmpty() && config.copy.destinations.isEmpty())
        r.fail(QStringLiteral("nothing to measure: give [ping] hosts or [copy] destinations"));
    config.folder = programdir::dataFolder();
    if (r.has(QStringLiteral("files/folder"))) {
        const QString folder = r.single(QStringLiteral("files/folder"));
        if (!QDir::isAbsolutePath(folder))
            r.failKey(QStringLiteral("files/folder"), folder,
                      QStringLiteral("an absolute path is needed"));
        config.folder = QDir::cleanPath(folder);
        if (!config.folder.endsWith(u'/'))
            config.folder += u'/';
    }
    return config;
}

} // namespace prober
