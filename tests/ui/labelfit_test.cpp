// Every value the main window shows can be read in full, in its usual and its largest form.

#include "formfixture.h"
#include "support/labelfit.h"

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
