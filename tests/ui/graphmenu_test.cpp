// The graph style menu and the reset command.

#include "formfixture.h"

#include "controls/VexTrend.h"
#include "platform/memo.h"

#include <QAction>
#include <QPaintEvent>

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST_F(FormTest, StyleEntriesRestyleTheTimeGraphsTogether)
{
    TForm1& f = form();
    const struct
    {
        QAction* entry;
        TVexTrend::TTrendStyle style;
    } styles[] = {{f.Filled1, TVexTrend::tsFilled},
                  {f.Bar1, TVexTrend::tsBar},
                  {f.Scatter1, TVexTrend::tsScatter},
                  {f.N3D1, TVexTrend::ts3D},
                  {f.Line1, TVexTrend::tsLine}};
    for (const auto& s : styles) {
        SCOPED_TRACE(s.entry->objectName().toStdString());
        s.entry->trigger();
        for (QAction* a : {f.Line1, f.Filled1, f.Bar1, f.Scatter1, f.N3D1})
            EXPECT_EQ(a->isChecked(), a == s.entry);
        for (TVexTrend* g : {f.VexTrend2, f.VexTrend3, f.VexTrend4})
            EXPECT_EQ(g->Style(), s.style);
        EXPECT_EQ(f.VexTrend1->Style(), TVexTrend::tsBar);
    }
    // The style that is already chosen keeps its mark and does not repaint the graphs. Paint
    // requests are queued for later, so delivering the queue shows whether there was one: a
    // change of style is seen that way, the same style again is not.
    PaintCounter counter(f.VexTrend2);
    f.Filled1->trigger();
    testapp::deliverPosted();
    EXPECT_GT(counter.paints, 0);
    counter.paints = 0;
    f.Filled1->trigger();
    testapp::deliverPosted();
    EXPECT_TRUE(f.Filled1->isChecked());
    EXPECT_EQ(counter.paints, 0);
}

TEST_F(FormTest, ResetEmptiesAllGraphsAndTheTimeListOnly)
{
    TForm1& f = form();
    for (TVexTrend* g : {f.VexTrend1, f.VexTrend2, f.VexTrend3, f.VexTrend4}) {
        g->AddValue(70);
        g->AddTwinValue(30);
    }
    f.Memo3->Add(QStringLiteral("5"));
    f.Memo5->Add(QStringLiteral("9"));
    const int maxBefore = f.VexTrend2->MaxVal();
    f.findChild<QAction*>(QStringLiteral("Resetgraph1"))->trigger();
    for (TVexTrend* g : {f.VexTrend1, f.VexTrend2, f.VexTrend3, f.VexTrend4}) {
        SCOPED_TRACE(g->objectName().toStdString());
        EXPECT_EQ(g->Values()[g->Divisions() - 1], 0);
    }
    for (TVexTrend* g : {f.VexTrend2, f.VexTrend3, f.VexTrend4})
        EXPECT_EQ(g->TwinValues()[g->Divisions() - 1], 0);
    // The analysis graph's twin series is never fed, so it is left alone.
    EXPECT_EQ(f.VexTrend1->TwinValues()[f.VexTrend1->Divisions() - 1], 30);
    EXPECT_EQ(f.VexTrend2->MaxVal(), maxBefore);
    EXPECT_EQ(f.Memo3->Count(), 0);
    EXPECT_EQ(f.Memo5->Count(), 1);
}
