#include "app/analysis.h"
#include "app/copymath.h"
#include "app/pinglog.h"
#include "platform/errors.h"
#include "platform/locale.h"

#include <gtest/gtest.h>

TEST(PingLog, LinesAndStamp)
{
    const QDateTime when(QDate(2026, 12, 6), QTime(21, 53, 11));
    const QString stamp = pinglog::timeStamp(when);
    const QChar sep = userlocale::timeSeparator(QLocale::system());
    EXPECT_EQ(stamp, QStringLiteral("06.12.2026, 21") + sep + QStringLiteral("53") + sep +
                         QStringLiteral("11"));
    EXPECT_EQ(pinglog::timeStamp(QDateTime(QDate(33, 1, 2), QTime(3, 4, 5))),
              QStringLiteral("02.01.0033, 03") + sep + QStringLiteral("04") + sep +
                  QStringLiteral("05"));
    EXPECT_EQ(pinglog::successLine(QStringLiteral("S"), QStringLiteral("192.0.2.1"), 32, 12),
              QStringLiteral("S, 192.0.2.1, 32 bytes, 12ms"));
    // The host stands as typed, blanks included; an empty reason leaves the separator.
    EXPECT_EQ(pinglog::failureLine(QStringLiteral("S"), QStringLiteral("h "),
                                   QStringLiteral("Request timed out")),
              QStringLiteral("S, h , Request timed out"));
    EXPECT_EQ(pinglog::failureLine(QStringLiteral("S"), QStringLiteral("h"), QString()),
              QStringLiteral("S, h, "));
}

TEST(PingLog, FileNamesStayInTheFolder)
{
    EXPECT_EQ(pinglog::pingLogName(QStringLiteral("192.0.2.1")),
              QStringLiteral("quillnet_192.0.2.1.txt"));
    EXPECT_EQ(pinglog::pingLogName(QStringLiteral("host ")), QStringLiteral("quillnet_host .txt"));
    EXPECT_EQ(pinglog::pingLogName(QStringLiteral("../x")), QStringLiteral("quillnet_.._x.txt"));
    EXPECT_EQ(pinglog::analysisLogName(QStringLiteral("a/b")),
              QStringLiteral("quillnet_analysis_a_b.txt"));
    EXPECT_EQ(pinglog::fileNamePart(QStringLiteral("a\tb\nc") + QChar(0) + QChar(0x7f)),
              QStringLiteral("a_b_c__"));
    EXPECT_EQ(pinglog::fileNamePart(QStringLiteral("wörld.example")),
              QStringLiteral("wörld.example"));
}

TEST(PingLog, ScaleOfThePingGraph)
{
    const copymath::ScaleLabels s = copymath::timeScaleLabels(10);
    EXPECT_EQ(s.top, QStringLiteral("10"));
    EXPECT_EQ(s.threeQuarter, QStringLiteral("8")); // 7.5
    EXPECT_EQ(s.half, QStringLiteral("5"));
    EXPECT_EQ(s.quarter, QStringLiteral("2")); // 2.5
    EXPECT_EQ(s.gridStep, 1);                  // 1.25
    EXPECT_EQ(copymath::timeScaleLabels(4).gridStep, 0);
    EXPECT_EQ(copymath::timeScaleLabels(INT32_MAX).top, QStringLiteral("2147483647"));
    // Averages of ping times: 12 / 3 + 0.5 = 4.5, truncated.
    EXPECT_EQ(copymath::listAverage(QStringList({"3", "4", "5"})), 4);
    EXPECT_EQ(copymath::listAverage(QStringList({"3", "4"})), std::nullopt);
    EXPECT_EQ(copymath::listAverage(QStringList({"2147483647", "2147483647", "2147483647"})),
              INT32_MAX);
}

TEST(Analysis, PollsGoToTheColumnOfTheirSize)
{
    analysis::Polls polls;
    // A late 10-byte time-out arrives among the 100-byte replies.
    for (int i = 0; i < 9; ++i) {
        polls.texts += QStringLiteral("1");
        polls.sizes += 10;
    }
    for (int i = 0; i < 5; ++i) {
        polls.texts += QStringLiteral("2");
        polls.sizes += 100;
    }
    polls.texts += QStringLiteral("h, Request timed out");
    polls.sizes += 10;
    for (int i = 0; i < 6; ++i) {
        polls.texts += QStringLiteral("2");
        polls.sizes += 100;
    }
    const auto columns = analysis::takeColumns(polls);
    EXPECT_EQ(columns[0].size(), 10);
    EXPECT_EQ(columns[0][9], QStringLiteral("h, Request timed out"));
    EXPECT_EQ(columns[1], QStringList(10, QStringLiteral("2")));
    EXPECT_EQ(columns[6], QStringList(10, QString()));
    // The eleventh 100-byte reply stays for later.
    EXPECT_EQ(polls.texts, QStringList({QStringLiteral("2")}));
    EXPECT_EQ(polls.sizes, QList<int32_t>({100}));
}

TEST(Analysis, FailedPollsStayOutOfTotalAndAverage)
{
    const QString timeout = QStringLiteral("h, Request timed out");
    const struct
    {
        const char* name;
        QStringList polls;
        QStringList cells;
        int failed;
        int64_t total;
        int64_t average;
        const char* summary;
    } cases[] = {
        {"all answered",
         {"20", "21", "22", "20", "19", "25", "20", "21", "22", "20"},
         {"20", "21", "22", "20", "19", "25", "20", "21", "22", "20"},
         0,
         210,
         21,
         "All 10 polls answered"},
        // Halves go to the even neighbour: 25 / 10 and 35 / 10.
        {"half to even down",
         {"25", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
         {"25", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
         0,
         25,
         2,
         "All 10 polls answered"},
        {"half to even up",
         {"35", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
         {"35", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
         0,
         35,
         4,
         "All 10 polls answered"},
        // Three time-outs and seven replies of 10 ms average 10, not 7.
        {"time-outs",
         {timeout, timeout, timeout, "10", "10", "10", "10", "10", "10", "10"},
         {"", "", "", "10", "10", "10", "10", "10", "10", "10"},
         3,
         70,
         10,
         "3 of 10 polls failed"},
        // 30 + 45 over two answers is 37.5: the even neighbour 38.
        {"other failures and missing polls",
         {"h, Destination host unreachable", "h, TTL expired in transit", "h, General failure",
          "h, ", "h, Bad Destination", "", "", "", "30", "45"},
         {"", "", "", "", "", "", "", "", "30", "45"},
         8,
         75,
         38,
         "8 of 10 polls failed"},
        {"no answer", QStringList(10, timeout), QStringList(10, QString()), 10, 0, 0,
         "10 of 10 polls failed"},
        {"nothing arrived", {}, QStringList(10, QString()), 10, 0, 0, "10 of 10 polls failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const analysis::Column column = analysis::interpretColumn(c.polls);
        EXPECT_EQ(column.cells, c.cells);
        EXPECT_EQ(column.failed, c.failed);
        EXPECT_EQ(column.answered, 10 - c.failed);
        EXPECT_EQ(column.total, c.total);
        EXPECT_EQ(column.average, c.average);
        EXPECT_EQ(analysis::failureSummary(column), QLatin1String(c.summary));
        // Every failed cell names its failure; an answered one names none.
        for (int r = 0; r < 10; ++r) {
            const QString poll = c.polls.value(r);
            EXPECT_EQ(column.failures[r], column.cells[r].isEmpty()
                                              ? (poll.isEmpty() ? analysis::noAnswerText() : poll)
                                              : QString())
                << r;
        }
    }
}

TEST(Analysis, StepLetters)
{
    EXPECT_EQ(analysis::stepIndex(QStringLiteral("z")), 0);
    EXPECT_EQ(analysis::stepIndex(QStringLiteral("t")), 6);
    EXPECT_EQ(analysis::stepIndex(QStringLiteral("Z")), -1);
    EXPECT_EQ(analysis::stepIndex(QStringLiteral("a")), -1);
}
