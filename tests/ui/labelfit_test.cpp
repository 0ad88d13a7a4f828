// Every value the main window shows can be read in full, in its usual and its largest form.

#include "formfixture.h"
#include "support/labelfit.h"

#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

TEST_F(FormTest, EveryLabelShowsItsWholeText)
{
    TForm1& f = form();
    const std::function<void()> states[] = {
        [] {},                                    // as started
        [&f] { labelfit::showLargestValues(f); }, // the largest values, speed graph in front
        [&f] { f.RadioButton4->click(); },        // the same with the time graph in front
    };
    for (int s = 0; s < int(std::size(states)); ++s) {
        states[s]();
        for (int tab = 0; tab < 3; ++tab) {
            SCOPED_TRACE(QStringLiteral("state %1, tab %2").arg(s).arg(tab).toStdString());
            f.PageControl1->setCurrentIndex(tab);
            EXPECT_TRUE(labelfit::unreadableLabels(&f).isEmpty())
                << labelfit::unreadableLabels(&f).join(u'\n').toStdString();
        }
    }
    // The widest speed is there to be read.
    f.RadioButton5->click();
    EXPECT_EQ(f.Label49->text(), QStringLiteral("4551111,11"));
}

TEST_F(FormTest, OpaqueLabelsHaveTheColourOfWhatLiesAroundThem)
{
    TForm1& f = form();
    f.PageControl1->setCurrentWidget(f.TabSheet3);
    const QImage window = f.grab().toImage();
    int opaque = 0;
    for (const QLabel* label : f.findChildren<QLabel*>()) {
        if (!label->isVisible() || !label->autoFillBackground())
            continue;
        ++opaque;
        // The corner above the text, and a point just left of the label on its panel.
        const QPoint inside = label->mapTo(&f, QPoint(0, 0));
        const QPoint outside = inside - QPoint(3, 0);
        EXPECT_EQ(QColor(window.pixel(inside)), QColor(window.pixel(outside)))
            << label->objectName().toStdString();
    }
    EXPECT_GE(opaque, 8);
}
