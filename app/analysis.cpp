#include "app/analysis.h"

#include "platform/conv.h"
#include "platform/rounding.h"

namespace analysis {

const std::array<Step, 7> kSteps = {{
    {"z", 10, "10 Byte", "y"},
    {"y", 100, "100 Byte", "x"},
    {"x", 500, "500 Byte", "w"},
    {"w", 1024, "1 KB", "v"},
    {"v", 10240, "10 KB", "u"},
    {"u", 51200, "50 KB", "t"},
    {"t", 64000, "64 KB", "z"},
}};

int stepIndex(const QString& letter)
{
    for (int i = 0; i < int(kSteps.size()); ++i) {
        if (letter == QLatin1String(kSteps[i].letter))
            return i;
    }
    return -1;
}

std::array<QStringList, 7> takeColumns(Polls& polls)
{
    std::array<QStringList, 7> columns;
    QList<bool> taken(polls.texts.size(), false);
    for (int c = 0; c < int(kSteps.size()); ++c) {
        for (int i = 0; i < polls.texts.size() && columns[c].size() < kPollsPerStep; ++i) {
            if (polls.sizes.value(i) == kSteps[c].dataSize) {
                columns[c] += polls.texts[i];
                taken[i] = true;
            }
        }
        while (columns[c].size() < kPollsPerStep)
            columns[c] += QString();
    }
    Polls rest;
    for (int i = 0; i < polls.texts.size(); ++i) {
        if (!taken[i]) {
            rest.texts += polls.texts[i];
            rest.sizes += polls.sizes.value(i);
        }
    }
    polls = rest;
    return columns;
}

Column interpretColumn(const QStringList& polls)
{
    Column column;
    for (int r = 0; r < kPollsPerStep; ++r) {
        const QString poll = polls.value(r);
        int32_t value = 0;
        if (tryStrToInt(poll, value) && value >= 0) {
            column.cells += QString::number(value);
            column.failures += QString();
            column.total += value;
            ++column.answered;
        } else {
            column.cells += QString();
            column.failures += poll.isEmpty() ? noAnswerText() : poll;
            ++column.failed;
        }
    }
    if (column.answered > 0)
        column.average = Round(static_cast<long double>(column.total) / column.answered);
    return column;
}

QString failureSummary(const Column& column)
{
    const int polls = column.answered + column.failed;
    if (column.failed == 0)
        return QStringLiteral("All %1 polls answered").arg(polls);
    return QStringLiteral("%1 of %2 polls failed").arg(column.failed).arg(polls);
}

QString noAnswerText()
{
    return QStringLiteral("No answer by the time of the interpretation");
}

} // namespace analysis
