// The statistics row of the Ping tab without echoes: its place, and a smaller font only for
// texts that would not fit otherwise.

#include "formfixture.h"
#include "support/labelfit.h"
#include "support/userinput.h"

#include "controls/VexTrend.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>

namespace {

TEST_F(FormTest, StatisticsRowShrinksOnlyWhileItsTextIsLong)
{
    TForm1& f = form();
    ASSERT_TRUE(userinput::activate(&f));
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

    // "Graphen zurücksetzen" from the menu: short texts again, in the full size.
    userinput::press(Qt::Key_O, Qt::AltModifier);
    auto* options = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(options, nullptr);
    for (int i = 0; i < 3 && options->activeAction() != f.Resetgraph1; ++i)
        userinput::press(Qt::Key_Down);
    ASSERT_EQ(options->activeAction(), f.Resetgraph1);
    userinput::press(Qt::Key_Return);
    EXPECT_EQ(f.Label57->text(),
              QStringLiteral("Gesendet/empfangen/verloren 0/0/0 (0.00 %)  Verluste in Folge 0  "
                             "l\u00e4ngste 0 (0.0 s)"));
    for (const auto& r : rows)
        EXPECT_EQ(r.label->font().pixelSize(), 11);
}

} // namespace
