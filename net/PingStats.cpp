#include "net/PingStats.h"

#include <algorithm>
#include <cmath>

size_t PingStatistics::bucketOf(uint64_t us)
{
    if (us < kLinearUs)
        return size_t(us);
    const double steps = std::floor(std::log(double(us) / double(kLinearUs)) / std::log(kRatio));
    return std::min(kBuckets - 1, size_t(kLinearUs) + size_t(steps));
}

double PingStatistics::bucketMiddle(size_t bucket)
{
    if (bucket < kLinearUs)
        return double(bucket);
    // The geometric middle of [low, low * ratio): at most sqrt(ratio) - 1 < 1 % off.
    return double(kLinearUs) * std::pow(kRatio, double(bucket - kLinearUs) + 0.5);
}

void PingStatistics::addReply(uint64_t roundTripUs, Clock::time_point when)
{
    ++m_received;
    if (m_received == 1 || roundTripUs < m_min)
        m_min = roundTripUs;
    m_max = std::max(m_max, roundTripUs);
    const double x = double(roundTripUs);
    const double delta = x - m_mean;
    m_mean += delta / double(m_received);
    m_m2 += delta * (x - m_mean);
    if (m_havePrevious)
        m_jitterSum += std::fabs(x - double(m_previousUs));
    m_havePrevious = true;
    m_previousUs = roundTripUs;
    ++m_buckets[bucketOf(roundTripUs)];

    if (m_currentRun > 0) {
        // The reply ends the run: it lasted until now.
        const Clock::duration lasted = when - m_runStart;
        if (lasted > m_longestDuration && m_currentRun == m_longestRun)
            m_longestDuration = lasted;
    }
    m_currentRun = 0;
    m_currentDuration = {};
}

void PingStatistics::addLoss(Clock::time_point when)
{
    ++m_lost;
    if (m_currentRun == 0)
        m_runStart = when;
    ++m_currentRun;
    m_currentDuration = when - m_runStart;
    // The longest run is the one with the most losses; of equal ones, the one that lasted
    // longer.
    if (m_currentRun > m_longestRun ||
        (m_currentRun == m_longestRun && m_currentDuration > m_longestDuration)) {
        m_longestRun = m_currentRun;
        m_longestDuration = m_currentDuration;
    }
}

double PingStatistics::percentile(double p) const
{
    // Nearest rank: the smallest value with at least p % of all values at or below it.
    const uint64_t rank =
        std::max<uint64_t>(1, uint64_t(std::ceil(p / 100.0 * double(m_received))));
    uint64_t seen = 0;
    for (size_t b = 0; b < kBuckets; ++b) {
        seen += m_buckets[b];
        if (seen >= rank)
            return std::clamp(bucketMiddle(b), double(m_min), double(m_max));
    }
    return double(m_max);
}

PingStatistics::Snapshot PingStatistics::snapshot() const
{
    Snapshot s;
    s.received = m_received;
    s.lost = m_lost;
    s.sent = m_received + m_lost;
    s.lossPercent = s.sent ? 100.0 * double(m_lost) / double(s.sent) : 0.0;
    if (m_received > 0) {
        s.minUs = m_min;
        s.maxUs = m_max;
        s.avgUs = m_mean;
        s.mdevUs = std::sqrt(std::max(0.0, m_m2 / double(m_received)));
        s.jitterUs = m_received > 1 ? m_jitterSum / double(m_received - 1) : 0.0;
        s.p50Us = percentile(50);
        s.p95Us = percentile(95);
        s.p99Us = percentile(99);
    }
    s.currentLossRun = m_currentRun;
    s.currentLossDuration = m_currentDuration;
    s.longestLossRun = m_longestRun;
    s.longestLossDuration = m_longestDuration;
    return s;
}

void PingStatistics::reset()
{
    *this = PingStatistics();
}
