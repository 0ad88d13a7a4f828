// Pictures of the real window on each tab, for a person to look at.

#include "formfixture.h"
#include "support/labelfit.h"

#include <QDir>
#include <QImage>
#include <QTabWidget>

TEST_F(FormTest, WritesAPictureOfEachTab)
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
        QTest::qWait(20);
        const QImage image = f.grab().toImage();
        EXPECT_EQ(image.size(), f.size() * f.devicePixelRatio());
        const QString file =
            QDir(QStringLiteral(TM_SCREENSHOT_DIR)).filePath(QString::fromLatin1(t.file));
        EXPECT_TRUE(image.save(file)) << file.toStdString();
    }
}
