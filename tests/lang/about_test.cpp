// The About window: its stored settings, showing it (one window however often), closing it,
// the home-page command, and the program's end while it is open.

#include "langfixture.h"

#include "controls/ovkWebLabel.h"
#include "platform/colorref.h"
#include "platform/errors.h"
#include "platform/shell.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {

int aboutWindows()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<TForm2*>(w) && w->isVisible() ? 1 : 0;
    return n;
}

TEST_F(LangTest, AboutWindowAsStored)
{
    TForm2& f = form2();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.size(), QSize(248, 256));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags() & (Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                                    Qt::WindowCloseButtonHint));
    EXPECT_EQ(f.RichEdit1->parentWidget(), f.Panel1);
    EXPECT_TRUE(f.RichEdit1->isReadOnly());
    EXPECT_FALSE(f.RichEdit1->isEnabled());
    // Not a tab stop: Tab skips it; disabled, it takes no click either.
    EXPECT_EQ(f.RichEdit1->focusPolicy(), Qt::ClickFocus);

    const TovkWebLabel* mail = f.ovkWebLabel2;
    EXPECT_EQ(mail->text(), mail->Link());
    EXPECT_TRUE(mail->Link().endsWith(QLatin1String("@ostrevane.example")));
    EXPECT_EQ(mail->LinkType(), TovkWebLabel::lnMailto);
    EXPECT_EQ(mail->toolTip(), QStringLiteral("Ostrevane email"));

    const TovkWebLabel* site = f.ovkWebLabel1;
    EXPECT_EQ(site->text(), QStringLiteral("http://") + site->Link());
    EXPECT_EQ(site->Link(), QStringLiteral("www.ostrevane.example"));
    EXPECT_EQ(site->LinkType(), TovkWebLabel::lnHttp);
    EXPECT_EQ(site->toolTip(), QStringLiteral("Software Website"));
    for (const TovkWebLabel* l : {mail, site}) {
        EXPECT_TRUE(l->ShowHint());
        EXPECT_EQ(l->FontColor(), colorref::clRed);
        EXPECT_EQ(l->savedColor(), colorref::clRed);
        // Sized to the text, so it is not cut; the stored font has no underline.
        EXPECT_LE(l->sizeHint().width(), l->width()) << l->text().toStdString();
        EXPECT_FALSE(l->font().underline());
        EXPECT_TRUE(l->font().bold());
        EXPECT_EQ(l->font().pixelSize(), 13);
    }
}

TEST_F(LangTest, ShowingTheAboutWindowTwiceGivesOneWindowInFront)
{
    form1();
    TForm2& f = form2();
    f.setWindowTitle(QStringLiteral("changed"));
    f.RichEdit1->hide();
    showAboutWindow(f);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("About"));
    EXPECT_TRUE(f.RichEdit1->isVisible());
    EXPECT_FALSE(f.isModal());
    showAboutWindow(*aboutWindow());
    EXPECT_EQ(aboutWindow(), &f);
    EXPECT_EQ(aboutWindows(), 1);
    // Centred on the main window.
    EXPECT_LE((f.frameGeometry().center() - form1().frameGeometry().center()).manhattanLength(), 2);
    // The main window stays usable.
    EXPECT_TRUE(form1().isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(LangTest, CloseHidesTheSameWindowForNextTime)
{
    TForm2& f = form2();
    showAboutWindow(f);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.Button1->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(aboutWindows(), 0);
    showAboutWindow(f);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.ovkWebLabel1->Link(), QStringLiteral("www.ostrevane.example"));
}

TEST_F(LangTest, HomePageOpensWhileTheWindowIsHiddenAlwaysOverHttp)
{
    fakeXdgOpen(0);
    TForm2& f = form2();
    ASSERT_FALSE(f.isVisible());
    openProductHomePage(f);
    ASSERT_TRUE(waitForOpens());
    f.ovkWebLabel1->setLinkType(TovkWebLabel::lnFtp);
    openProductHomePage(f);
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(opened(), QStringList(2, QStringLiteral("http://www.ostrevane.example")));
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(LangTest, ARefusedHomePageNamesTheLinkAndItsCodeWithoutHoldingTheWindow)
{
    fakeXdgOpen(4, true);
    openProductHomePage(form2());
    // Back at once, the desktop still busy.
    EXPECT_EQ(shell::pendingOpens(), 1);
    EXPECT_TRUE(errors().isEmpty());
    releaseXdgOpen();
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(errors(), QStringList{QStringLiteral(
                            "ShellExecute \"www.ostrevane.example\" Failed with Error: 4")});
}

TEST_F(LangTest, TheMailLinkOpensANewMail)
{
    fakeXdgOpen(0);
    TForm2& f = form2();
    showAboutWindow(f);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    QTest::mouseClick(f.ovkWebLabel2, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(opened(), QStringList{QStringLiteral("mailto:") + f.ovkWebLabel2->Link()});
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(LangTest, ClosingTheMainWindowEndsTheProgramWhileAboutIsOpen)
{
    TForm1& main = form1();
    showAboutWindow(form2());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form2()));
    QTimer::singleShot(50, &main, [&main] { main.close(); });
    // Should the close not end the loop, this ends it with another code.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
    guard.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

} // namespace
