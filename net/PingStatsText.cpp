#include "net/PingStatsText.h"

#include <cmath>

namespace pingstatstext {

QString milliseconds(double us)
{
    const auto whole = static_cast<unsigned long long>(std::llround(std::max(us, 0.0)));
    return QStringLiteral("%1.%2").arg(whole / 1000).arg(whole % 1000, 3, 10, QChar(u'0'));
}

namespace {

const QString kGap = QStringLiteral("  ");

QString seconds(PingStatistics::Clock::duration d)
{
    const double s = std::chrono::duration<double>(d).count();
    return QString::number(std::max(s, 0.0), 'f', 1) + QStringLiteral(" s");
}

QString times(std::initializer_list<double> values, bool any)
{
    QString text;
    for (double v : values) {
        if (!text.isEmpty())
            text += u'/';
        text += any ? milliseconds(v) : QStringLiteral("-");
    }
    return text;
}

} // namespace

QString lossLine(const PingStatistics::Snapshot& s, const Captions& c)
{
    QString text = c.sentReceivedLost + u' ' + QString::number(s.sent) + u'/' +
                   QString::number(s.received) + u'/' + QString::number(s.lost) +
                   QStringLiteral(" (") + QString::number(s.lossPercent, 'f', 2) +
                   QStringLiteral(" %)") + kGap + c.lossRun + u' ' +
                   QString::number(s.currentLossRun);
    if (s.currentLossRun > 0)
        text += QStringLiteral(" (") + seconds(s.currentLossDuration) + u')';
    return text + kGap + c.longestRun + u' ' + QString::number(s.longestLossRun) +
           QStringLiteral(" (") + seconds(s.longestLossDuration) + u')';
}

QString roundTripLine(const PingStatistics::Snapshot& s, const Captions& c)
{
    const bool any = s.received > 0;
    return c.minAvgMax + u' ' + times({double(s.minUs), s.avgUs, double(s.maxUs)}, any) +
           QStringLiteral(" ms") + kGap + c.mdev + u' ' + times({s.mdevUs}, any) + kGap + c.jitter +
           u' ' + times({s.jitterUs}, any) + kGap + c.percentiles + u' ' +
           times({s.p50Us, s.p95Us, s.p99Us}, any);
}

} // namespace pingstatstext
