// Pictures of the real window on each tab, for a person to look at. A picture maker: it checks
// only that the pictures were written (its label "pictures" says so). A comparison with stored
// pictures would fail with every change of the machine's fonts and hinting; the window's
// places and texts are checked against its description in mainwindow_test.cpp, and
// labelfit_test.cpp checks that every label can be read.

#include "formfixture.h"
#include "support/labelfit.h"

#include <QDir>
#include <QImage>
#include <QTabWidget>

class Pictures : public FormTest
{
};

TEST_F(Pictures, EachTabOfTheMainWindow)
{
    TForm1& f = form();
    QDir().mkpath(QStringLiteral(TM_SCREENSHOT_DIR));
    // The widest values, so the pictures show whether they can be read.
    labelfit::showLargestValues(f);
    const struct
    {
        QWidget* sheet;
        const char* file;
    } tabs[] = {
        {f.TabSheet1, "ping.png"}, {f.TabSheet2, "analyse.png"}, {f.TabSheet3, "vamtkopie.png"}};
    for (const auto& t : tabs) {
        f.PageControl1->setCurrentWidget(t.sheet);
        // What the change of page posted (layouts, deferred updates) before the picture.
        QCoreApplication::sendPostedEvents();
        const QString file =
            QDir(QStringLiteral(TM_SCREENSHOT_DIR)).filePath(QString::fromLatin1(t.file));
        EXPECT_TRUE(f.grab().toImage().save(file)) << file.toStdString();
    }
}
