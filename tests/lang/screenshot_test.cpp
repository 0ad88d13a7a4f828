// Pictures of both windows in both languages, for a person to look at. Picture makers (label
// "pictures"): they check only that the pictures were written; readable_test.cpp here and
// tests/ui/labelfit_test.cpp check that every text can be read.

#include "langfixture.h"
#include "support/labelfit.h"

#include <QDir>
#include <QImage>
#include <QTabWidget>
#include <QTest>

namespace {

void save(QWidget* w, const QString& name)
{
    // What the change of page posted (layouts, deferred updates) before the picture.
    QCoreApplication::sendPostedEvents();
    const QImage image = w->grab().toImage();
    EXPECT_EQ(image.size(), w->size() * w->devicePixelRatio());
    const QString file = QDir(QStringLiteral(TM_SCREENSHOT_DIR)).filePath(name);
    EXPECT_TRUE(image.save(file)) << file.toStdString();
}

void picturesOf(TForm1& main, TForm2& about, const QString& language)
{
    QDir().mkpath(QStringLiteral(TM_SCREENSHOT_DIR));
    // The widest values, so the pictures show whether they can be read.
    labelfit::showLargestValues(main);
    const struct
    {
        QWidget* sheet;
        const char* name;
    } tabs[] = {{main.TabSheet1, "ping"}, {main.TabSheet2, "analyse"}, {main.TabSheet3, "copy"}};
    for (const auto& t : tabs) {
        main.PageControl1->setCurrentWidget(t.sheet);
        save(&main, QStringLiteral("main-%1-%2.png").arg(language, QLatin1String(t.name)));
    }
    showAboutWindow(about);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    save(&about, QStringLiteral("about-%1.png").arg(language));
}

TEST_F(LangTest, PicturesOfBothWindowsInGerman)
{
    startUp("de_DE.UTF-8");
    picturesOf(form1(), form2(), QStringLiteral("de"));
}

TEST_F(LangTest, PicturesOfBothWindowsInEnglish)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    picturesOf(form1(), form2(), QStringLiteral("en"));
}

} // namespace
