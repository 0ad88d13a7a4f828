// The statistics of echo results and the text the Ping tab shows of them.

#include "net/PingStats.h"
#include "net/PingStatsText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <type_traits>
#include <vector>

namespace {

using Clock = PingStatistics::Clock;
using std::chrono::seconds;

const Clock::time_point t0{};

Clock::time_point at(double s)
{
    return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

PingStatistics fed(const std::vector<uint64_t>& replies)
{
    PingStatistics st;
    double t = 0;
    for (uint64_t us : replies)
        st.addReply(us, at(t++));
    return st;
}

TEST(PingStatistics, EmptyIsAllZero)
{
    const PingStatistics::Snapshot s = PingStatistics().snapshot();
    EXPECT_EQ(s.sent, 0u);
    EXPECT_EQ(s.lossPercent, 0.0);
    EXPECT_EQ(s.minUs, 0u);
    EXPECT_EQ(s.maxUs, 0u);
    EXPECT_EQ(s.avgUs, 0.0);
    EXPECT_EQ(s.p99Us, 0.0);
    EXPECT_EQ(s.longestLossRun, 0u);
}

struct RoundTripCase
{
    std::vector<uint64_t> replies;
    uint64_t min, max;
    double avg, mdev, jitter, p50, p95, p99;
};

TEST(PingStatistics, RoundTripFiguresOfKnownSeries)
{
    const RoundTripCase cases[] = {
        {{41}, 41, 41, 41, 0, 0, 41, 41, 41},
        {{1000, 2000, 3000, 4000}, 1000, 4000, 2500, std::sqrt(1.25e6), 1000, 2000, 4000, 4000},
        {{100, 300, 100, 300}, 100, 300, 200, 100, 200, 100, 300, 300},
        {{7, 7, 7}, 7, 7, 7, 0, 0, 7, 7, 7},
        // A single outlier among twenty: it is the p99 and the p95 is the bulk.
        {{50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 50, 9000000},
         50,
         9000000,
         (19 * 50 + 9000000) / 20.0,
         std::sqrt((19 * std::pow(50 - 450047.5, 2) + std::pow(9000000 - 450047.5, 2)) / 20),
         8999950 / 19.0,
         50,
         50,
         9000000},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.replies));
        const PingStatistics::Snapshot s = fed(c.replies).snapshot();
        EXPECT_EQ(s.received, c.replies.size());
        EXPECT_EQ(s.lost, 0u);
        EXPECT_EQ(s.minUs, c.min);
        EXPECT_EQ(s.maxUs, c.max);
        EXPECT_NEAR(s.avgUs, c.avg, 1e-6 * c.avg);
        EXPECT_NEAR(s.mdevUs, c.mdev, 1e-6 * c.avg);
        EXPECT_NEAR(s.jitterUs, c.jitter, 1e-6 * c.avg);
        EXPECT_NEAR(s.p50Us, c.p50, 0.01 * c.p50);
        EXPECT_NEAR(s.p95Us, c.p95, 0.01 * c.p95);
        EXPECT_NEAR(s.p99Us, c.p99, 0.01 * c.p99);
    }
}

// Nearest rank on the sorted samples: the reference the buckets must stay within 1 % of.
double nearestRank(const std::vector<uint64_t>& sorted, double p)
{
    const size_t rank = std::max<size_t>(1, size_t(std::ceil(p / 100.0 * double(sorted.size()))));
    return double(sorted[rank - 1]);
}

TEST(PingStatistics, PercentilesStayWithinOnePercentOfTheSortedSamples)
{
    struct Shape
    {
        const char* name;
        std::function<uint64_t(std::mt19937_64&)> draw;
    };
    const Shape shapes[] = {
        {"loopback", [](auto& g) { return std::uniform_int_distribution<uint64_t>(20, 90)(g); }},
        {"lan", [](auto& g) { return std::uniform_int_distribution<uint64_t>(80, 2500)(g); }},
        {"heavy tail",
         [](auto& g) { return uint64_t(std::lognormal_distribution<double>(8.0, 1.5)(g)); }},
        {"two paths",
         [](auto& g) {
             return std::bernoulli_distribution(0.9)(g)
                        ? std::uniform_int_distribution<uint64_t>(1000, 1200)(g)
                        : std::uniform_int_distribution<uint64_t>(150000, 9000000)(g);
         }},
    };
    for (const Shape& shape : shapes) {
        for (uint64_t seed : {1u, 2u, 3u}) {
            for (size_t n : {1u, 2u, 7u, 100u, 5000u}) {
                std::mt19937_64 gen(seed * 7919 + n);
                std::vector<uint64_t> samples(n);
                for (uint64_t& v : samples)
                    v = shape.draw(gen);
                const PingStatistics::Snapshot s = fed(samples).snapshot();
                std::sort(samples.begin(), samples.end());
                SCOPED_TRACE(std::string(shape.name) + " seed " + std::to_string(seed) + " n " +
                             std::to_string(n));
                const std::pair<double, double> got[] = {
                    {50, s.p50Us}, {95, s.p95Us}, {99, s.p99Us}};
                for (auto [p, value] : got) {
                    const double want = nearestRank(samples, p);
                    EXPECT_LE(std::fabs(value - want), 0.01 * want) << "p" << p;
                }
                EXPECT_EQ(s.minUs, samples.front());
                EXPECT_EQ(s.maxUs, samples.back());
            }
        }
    }
}

TEST(PingStatistics, MemoryStaysConstantHoweverLongItRuns)
{
    // Nothing that could grow: no container, no pointer to one.
    static_assert(std::is_trivially_copyable_v<PingStatistics>);
    static_assert(sizeof(PingStatistics) < 16 * 1024);
    PingStatistics st;
    const uint64_t n = 2000000;
    for (uint64_t i = 0; i < n; ++i) {
        if (i % 1000 == 999)
            st.addLoss(at(double(i)));
        else
            st.addReply(1000 + i % 3, at(double(i)));
    }
    const PingStatistics::Snapshot s = st.snapshot();
    EXPECT_EQ(s.sent, n);
    EXPECT_EQ(s.lost, n / 1000);
    EXPECT_NEAR(s.lossPercent, 0.1, 1e-9);
    EXPECT_EQ(s.minUs, 1000u);
    EXPECT_EQ(s.maxUs, 1002u);
    EXPECT_NEAR(s.avgUs, 1001.0, 0.01);
    EXPECT_EQ(s.longestLossRun, 1u);
}

TEST(PingStatistics, LossPercentOfAllResults)
{
    const std::pair<std::vector<bool>, double> cases[] = {
        {{true}, 0.0},
        {{false}, 100.0},
        {{true, false, true}, 100.0 / 3},
        {{false, false, false, true}, 75.0},
    };
    for (const auto& [replied, percent] : cases) {
        PingStatistics st;
        for (bool r : replied)
            r ? st.addReply(500, t0) : st.addLoss(t0);
        const PingStatistics::Snapshot s = st.snapshot();
        EXPECT_EQ(s.sent, replied.size());
        EXPECT_EQ(s.received + s.lost, s.sent);
        EXPECT_NEAR(s.lossPercent, percent, 1e-9);
    }
}

struct Event
{
    double at; // seconds
    bool reply;
};

struct RunCase
{
    const char* name;
    std::vector<Event> events;
    uint64_t current;
    double currentS;
    uint64_t longest;
    double longestS;
};

TEST(PingStatistics, RunsOfLossesAndTheirDurations)
{
    const RunCase cases[] = {
        {"no loss", {{0, true}, {5, true}}, 0, 0, 0, 0},
        {"one loss going on", {{0, true}, {5, false}}, 1, 0, 1, 0},
        {"run going on", {{0, false}, {5, false}, {10, false}}, 3, 10, 3, 10},
        // The reply ends the run: it lasted from the first loss to the reply.
        {"ended by a reply", {{0, true}, {5, false}, {10, false}, {15, true}}, 0, 0, 2, 10},
        {"longer run later",
         {{5, false}, {10, true}, {20, false}, {25, false}, {30, false}, {35, true}},
         0,
         0,
         3,
         15},
        {"shorter run later keeps the longest",
         {{0, false}, {5, false}, {10, false}, {15, true}, {20, false}},
         1,
         0,
         3,
         15},
        {"equal counts: the one that lasted longer",
         {{0, false}, {1, false}, {2, true}, {10, false}, {20, false}, {60, true}},
         0,
         0,
         2,
         50},
        {"run going on overtakes the longest",
         {{0, false}, {5, true}, {10, false}, {15, false}},
         2,
         5,
         2,
         5},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.name);
        PingStatistics st;
        for (const Event& e : c.events)
            e.reply ? st.addReply(1000, at(e.at)) : st.addLoss(at(e.at));
        const PingStatistics::Snapshot s = st.snapshot();
        EXPECT_EQ(s.currentLossRun, c.current);
        EXPECT_NEAR(std::chrono::duration<double>(s.currentLossDuration).count(), c.currentS, 1e-6);
        EXPECT_EQ(s.longestLossRun, c.longest);
        EXPECT_NEAR(std::chrono::duration<double>(s.longestLossDuration).count(), c.longestS, 1e-6);
    }
}

TEST(PingStatistics, ResetStartsAfresh)
{
    PingStatistics st = fed({9000, 100, 5000});
    st.addLoss(at(10));
    st.addLoss(at(20));
    st.reset();
    EXPECT_EQ(st.snapshot().sent, 0u);
    EXPECT_EQ(st.snapshot().longestLossRun, 0u);
    st.addReply(300, at(30));
    st.addReply(500, at(31));
    const PingStatistics::Snapshot s = st.snapshot();
    EXPECT_EQ(s.sent, 2u);
    EXPECT_EQ(s.minUs, 300u);
    EXPECT_EQ(s.maxUs, 500u);
    EXPECT_DOUBLE_EQ(s.jitterUs, 200.0); // not measured against the reply before the reset
    EXPECT_NEAR(s.p99Us, 500, 5);
    EXPECT_EQ(s.currentLossRun, 0u);
}

TEST(PingStatsText, MillisecondsWithThreeDecimals)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0.000"},          {41, "0.041"},   {52.4, "0.052"},   {52.5, "0.053"},
        {999.5, "1.000"},      {1000, "1.000"}, {20123, "20.123"}, {1234567, "1234.567"},
        {9000000, "9000.000"}, {-3, "0.000"},
    };
    for (auto [us, text] : cases)
        EXPECT_EQ(pingstatstext::milliseconds(us), QString::fromLatin1(text)) << us;
}

// The captions of the window's German and English string tables.
const pingstatstext::Captions kGerman{QStringLiteral("Gesendet/empfangen/verloren"),
                                      QStringLiteral("Verluste in Folge"),
                                      QStringLiteral("l\u00e4ngste"),
                                      QStringLiteral("min/\u00d8/max"),
                                      QStringLiteral("Abw."),
                                      QStringLiteral("Jitter"),
                                      QStringLiteral("P50/95/99")};
const pingstatstext::Captions kEnglish{QStringLiteral("Sent/received/lost"),
                                       QStringLiteral("lost in a row"),
                                       QStringLiteral("longest"),
                                       QStringLiteral("min/avg/max"),
                                       QStringLiteral("mdev"),
                                       QStringLiteral("jitter"),
                                       QStringLiteral("p50/95/99")};

PingStatistics::Snapshot sample()
{
    PingStatistics st;
    st.addReply(41, at(0));
    st.addLoss(at(5));
    st.addLoss(at(10));
    st.addReply(63, at(12));
    st.addReply(52, at(15));
    st.addLoss(at(20));
    return st.snapshot();
}

TEST(PingStatsText, LinesInBothLanguages)
{
    struct Case
    {
        pingstatstext::Captions captions;
        const char* loss;
        const char* roundTrips;
    };
    const Case cases[] = {
        {kGerman,
         "Gesendet/empfangen/verloren 6/3/3 (50.00 %)  Verluste in Folge 1 (0.0 s)  "
         "l\u00e4ngste 2 (7.0 s)",
         "min/\u00d8/max 0.041/0.052/0.063 ms  Abw. 0.009  Jitter 0.017  "
         "P50/95/99 0.052/0.063/0.063"},
        {kEnglish, "Sent/received/lost 6/3/3 (50.00 %)  lost in a row 1 (0.0 s)  longest 2 (7.0 s)",
         "min/avg/max 0.041/0.052/0.063 ms  mdev 0.009  jitter 0.017  "
         "p50/95/99 0.052/0.063/0.063"},
    };
    const PingStatistics::Snapshot s = sample();
    for (const Case& c : cases) {
        EXPECT_EQ(pingstatstext::lossLine(s, c.captions).toStdString(), c.loss);
        EXPECT_EQ(pingstatstext::roundTripLine(s, c.captions).toStdString(), c.roundTrips);
    }
}

TEST(PingStatsText, BeforeTheFirstReplyTimesAreDashes)
{
    PingStatistics st;
    EXPECT_EQ(pingstatstext::roundTripLine(st.snapshot(), kEnglish),
              QStringLiteral("min/avg/max -/-/- ms  mdev -  jitter -  p50/95/99 -/-/-"));
    EXPECT_EQ(pingstatstext::lossLine(st.snapshot(), kEnglish),
              QStringLiteral("Sent/received/lost 0/0/0 (0.00 %)  lost in a row 0  longest 0 "
                             "(0.0 s)"));
    st.addLoss(at(0));
    st.addLoss(at(4));
    EXPECT_EQ(pingstatstext::roundTripLine(st.snapshot(), kGerman),
              QStringLiteral("min/\u00d8/max -/-/- ms  Abw. -  Jitter -  P50/95/99 -/-/-"));
    EXPECT_EQ(pingstatstext::lossLine(st.snapshot(), kGerman),
              QStringLiteral("Gesendet/empfangen/verloren 2/0/2 (100.00 %)  Verluste in Folge 2 "
                             "(4.0 s)  l\u00e4ngste 2 (4.0 s)"));
}

} // namespace
