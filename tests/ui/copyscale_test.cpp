// The copy tab's scales and its log window bound, through copies that fail at once (the
// default destination), so no share is needed.

#include "copytab.h"

#include <QLabel>
#include <QTabWidget>

using namespace copytab;

namespace {

struct ScaleCase
{
    const char* graph;
    int primed; // a value on the graph before the copy, so the scale is known
    const char* labels[4];
    int gridStep;
};

TEST_F(FormTest, CopyScalesFollowTheirGraphs)
{
    const ScaleCase cases[] = {
        {"VexTrend3", 1000, {"1000", "750", "500", "250"}, 125}, // milliseconds
        {"VexTrend4", 800, {"8", "6", "4", "2"}, 100},           // hundredths of the unit
        {"VexTrend3", 10, {"10", "8", "5", "2"}, 1},             // halves to even
    };
    const struct
    {
        const char* graph;
        QLabel* TForm1::*labels[4];
    } columns[] = {
        {"VexTrend3", {&TForm1::Label35, &TForm1::Label36, &TForm1::Label37, &TForm1::Label38}},
        {"VexTrend4", {&TForm1::Label49, &TForm1::Label50, &TForm1::Label51, &TForm1::Label52}},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE(std::string(c.graph) + " " + std::to_string(c.primed));
        recreateForm();
        TForm1& f = form();
        f.PageControl1->setCurrentWidget(f.TabSheet3);
        auto* graph = f.findChild<TVexTrend*>(QString::fromLatin1(c.graph));
        graph->AddValue(c.primed);
        copyOnce(f);
        ASSERT_EQ(f.Memo4->Count(), 1);
        EXPECT_EQ(graph->GridYstep(), c.gridStep);
        for (const auto& column : columns) {
            if (qstrcmp(column.graph, c.graph) != 0)
                continue;
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ((f.*column.labels[i])->text(), QString::fromLatin1(c.labels[i])) << i;
        }
    }
}

TEST_F(FormTest, CopyLogNeverHoldsMoreThan1001Lines)
{
    TForm1& f = form();
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    for (int i = 0; i < 1000; ++i)
        f.Memo4->Add(QStringLiteral("old %1").arg(i));
    copyOnce(f);
    EXPECT_EQ(f.Memo4->Count(), 1001);
    EXPECT_EQ(f.Memo4->Strings(0), QStringLiteral("old 0"));
    copyOnce(f);
    EXPECT_EQ(f.Memo4->Count(), 1000);
    EXPECT_EQ(f.Memo4->Strings(0), QStringLiteral("old 2"));
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
}

} // namespace
