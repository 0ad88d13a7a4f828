#pragma once
// Running statistics of one host's echo results: loss, round trips (min, mean, deviation,
// jitter, percentiles) and runs of consecutive losses. Pure arithmetic in constant memory,
// however long it runs; the Ping tab, the metrics and the prober share it.

#include <array>
#include <chrono>
#include <cstdint>

class PingStatistics
{
public:
    using Clock = std::chrono::steady_clock;

    struct Snapshot
    {
        uint64_t sent = 0; // replies and losses
        uint64_t received = 0;
        uint64_t lost = 0;
        double lossPercent = 0; // 0 before the first result

        // Round trips in microseconds; all 0 before the first reply.
        uint64_t minUs = 0;
        uint64_t maxUs = 0;
        double avgUs = 0;
        double mdevUs = 0;   // standard deviation of the population, as ping tools print it
        double jitterUs = 0; // mean absolute difference of successive round trips
        // Nearest-rank percentiles, within 1 % of the exact value (log-spaced buckets).
        double p50Us = 0;
        double p95Us = 0;
        double p99Us = 0;

        // Runs of consecutive losses. A run lasts from its first loss to the reply that ends
        // it, or, while it goes on, to its latest loss.
        uint64_t currentLossRun = 0;
        Clock::duration currentLossDuration{};
        uint64_t longestLossRun = 0;
        Clock::duration longestLossDuration{};
    };

    void addReply(uint64_t roundTripUs, Clock::time_point when);
    void addLoss(Clock::time_point when);
    Snapshot snapshot() const;
    void reset();

    // Percentile buckets: exact below kLinearUs, then each bucket kRatio times wider than the
    // one before; the middle of a bucket is then within 1 % of every value in it.
    static constexpr uint64_t kLinearUs = 100;
    static constexpr double kRatio = 1.02;
    static constexpr size_t kBuckets = 1100; // reaches eleven hours; longer ones share the last

private:
    static size_t bucketOf(uint64_t us);
    static double bucketMiddle(size_t bucket);
    double percentile(double p) const;

    uint64_t m_received = 0;
    uint64_t m_lost = 0;
    uint64_t m_min = 0;
    uint64_t m_max = 0;
    double m_mean = 0; // running mean and sum of squared deviations (Welford)
    double m_m2 = 0;
    bool m_havePrevious = false;
    uint64_t m_previousUs = 0;
    double m_jitterSum = 0;
    uint64_t m_currentRun = 0;
    Clock::time_point m_runStart{};
    Clock::duration m_currentDuration{};
    uint64_t m_longestRun = 0;
    Clock::duration m_longestDuration{};
    std::array<uint64_t, kBuckets> m_buckets{};
};
