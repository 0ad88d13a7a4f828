#pragma once
// The program's string table: message texts that the language module may replace.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

enum class StringId
{
    InvalidInteger,  // "'%s' ist kein gültiger Integerwert"
    InvalidDataSize, // a data size outside 1 to 64000
    // Captions of the Ping tab's statistics row.
    StatsSentReceivedLost,
    StatsLossRun,
    StatsLongestRun,
    StatsMinAvgMax,
    StatsMdev,
    StatsJitter,
    StatsPercentiles,
};

class StringTable
{
public:
    // Parses "Name=Text" lines; "#" starts a comment line. Unknown names are an error, so a
    // module with a misspelt entry is noticed instead of silently falling back.
    static StringTable parse(const QByteArray& data, const QString& origin);

    // The table the program reads its messages from: the built-in one until a language module
    // installs its own. Like the platform's resource instance, there is one per process.
    static const StringTable& current();
    static void install(const StringTable& table);
    static void restoreBuiltIn();

    QString text(StringId id) const;
    // Fills "%s" and "%d" placeholders in order.
    QString format(StringId id, const QStringList& args) const;
    static QString fill(const QString& pattern, const QStringList& args);

private:
    QHash<int, QString> m_texts;
};
