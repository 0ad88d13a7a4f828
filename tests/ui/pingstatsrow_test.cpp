// The statistics row of the Ping tab without echoes: its place, and a smaller font only for
// texts that would not fit otherwise.

#include "formfixture.h"
#include "support/labelfit.h"

#include "app/pingstatsrow.h"
#include "controls/VexTrend.h"

#include <QFrame>
#include <QLabel>

namespace {

TEST_F(FormTest, StatisticsRowShrinksOnlyWhileItsTextIsLong)
{
    TForm1& f = form();
    const struct
    {
        QLabel* label;
        QWidget* caption; // the legend beside it, which it must leave alone
    } rows[] = {{f.Label57, f.Label1}, {f.Label58, f.Label3}};
    for (const auto& r : rows) {
        EXPECT_EQ(r.label->parentWidget(), f.Panel2);
        EXPECT_FALSE(r.label->geometry().intersects(r.caption->geometry()));
        EXPECT_FALSE(r.label->geometry().intersects(f.VexTrend2->geometry()));
        EXPECT_EQ(r.label->font().pixelSize(), 11);
    }
    labelfit::showLargestValues(f);
    for (const auto& r : rows) {
        EXPECT_LT(r.label->font().pixelSize(), 11);
        EXPECT_GE(r.label->font().pixelSize(), 8);
    }
    EXPECT_TRUE(labelfit::unreadableLabels(&f).isEmpty())
        << labelfit::unreadableLabels(&f).join(u'\n').toStdString();

    // Short texts again: the full size again.
    pingstatsrow::show(f.Label57, f.Label58, PingStatistics().snapshot());
    for (const auto& r : rows)
        EXPECT_EQ(r.label->font().pixelSize(), 11);
}

} // namespace
