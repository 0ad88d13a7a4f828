#include "platform/strings.h"

#include "platform/errors.h"

#include <QFile>

// Resources of a static library must be registered by name from the global namespace.
static void initStringResources()
{
    Q_INIT_RESOURCE(core_strings);
}

namespace {

struct Entry
{
    StringId id;
    const char* name;
};

constexpr Entry kEntries[] = {
    {StringId::InvalidInteger, "InvalidInteger"},
    {StringId::InvalidDataSize, "InvalidDataSize"},
    {StringId::StatsSentReceivedLost, "StatsSentReceivedLost"},
    {StringId::StatsLossRun, "StatsLossRun"},
    {StringId::StatsLongestRun, "StatsLongestRun"},
    {StringId::StatsMinAvgMax, "StatsMinAvgMax"},
    {StringId::StatsMdev, "StatsMdev"},
    {StringId::StatsJitter, "StatsJitter"},
    {StringId::StatsPercentiles, "StatsPercentiles"},
};

StringTable loadBuiltIn()
{
    initStringResources();
    QFile file(QStringLiteral(":/tallowmere/strings.de.txt"));
    if (!file.open(QIODevice::ReadOnly))
        throw EResourceError(QStringLiteral("The built-in string table is missing"));
    return StringTable::parse(file.readAll(), file.fileName());
}

const StringTable& builtIn()
{
    static const StringTable table = loadBuiltIn();
    return table;
}

StringTable& installed()
{
    static StringTable table = builtIn();
    return table;
}

} // namespace

StringTable StringTable::parse(const QByteArray& data, const QString& origin)
{
    StringTable table;
    const QString all = QString::fromUtf8(data);
    int lineNo = 0;
    for (QString line : all.split(u'\n')) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            throw EResourceError(
                QStringLiteral("%1, line %2: expected Name=Text").arg(origin).arg(lineNo));
        const QString name = line.left(eq).trimmed();
        bool known = false;
        for (const Entry& e : kEntries) {
            if (name == QLatin1String(e.name)) {
                table.m_texts.insert(int(e.id), line.mid(eq + 1));
                known = true;
            }
        }
        if (!known)
            throw EResourceError(QStringLiteral("%1, line %2: unknown string '%3'")
                                     .arg(origin)
                                     .arg(lineNo)
                                     .arg(name));
    }
    return table;
}

const StringTable& StringTable::current()
{
    return installed();
}

void StringTable::install(const StringTable& table)
{
    installed() = table;
}

void StringTable::restoreBuiltIn()
{
    installed() = builtIn();
}

QString StringTable::text(StringId id) const
{
    const auto it = m_texts.constFind(int(id));
    if (it != m_texts.constEnd())
        return *it;
    // A module may leave an entry out; the built-in text serves then.
    return builtIn().m_texts.value(int(id));
}

QString StringTable::format(StringId id, const QStringList& args) const
{
    return fill(text(id), args);
}

QString StringTable::fill(const QString& pattern, const QStringList& args)
{
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            const QChar c = pattern[i + 1];
            if (c == u's' || c == u'd') {
                out += next < args.size() ? args[next] : QString();
                ++next;
                ++i;
                continue;
            }
            if (c == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}
