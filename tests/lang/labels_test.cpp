// The link labels: the focus colour under the pointer and the colour they return to, their
// events, their defaults, and opening the link through xdg-open on any button.

#include "langfixture.h"

#include "controls/ovkWebLabel.h"
#include "platform/colorref.h"
#include "platform/errors.h"
#include "platform/shell.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

namespace {

constexpr quint32 kGreen = colorref::clGreen;
constexpr quint32 kBlue = colorref::clBlue;

void enter(QWidget* w)
{
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(w, &e);
}

void leave(QWidget* w)
{
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(w, &e);
}

void release(QWidget* w, Qt::MouseButton button, QPointF at = QPointF(3, 3))
{
    QMouseEvent e(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                  Qt::ShiftModifier);
    QCoreApplication::sendEvent(w, &e);
}

TEST_F(LangTest, PointerInAndOutShowsAndRestoresTheColour)
{
    TovkBasicLabel label;
    label.setFontColor(kGreen);
    QStringList events;
    QObject::connect(&label, &TovkBasicLabel::OnMouseEnter, &label,
                     [&] { events += QStringLiteral("enter %1").arg(label.FontColor(), 0, 16); });
    QObject::connect(&label, &TovkBasicLabel::OnMouseLeave, &label,
                     [&] { events += QStringLiteral("leave %1").arg(label.FontColor(), 0, 16); });
    enter(&label);
    EXPECT_EQ(label.FontColor(), colorref::clRed);
    leave(&label);
    EXPECT_EQ(label.FontColor(), kGreen);
    // Changed at run time while outside: that colour comes back.
    label.setFontColor(kBlue);
    enter(&label);
    leave(&label);
    EXPECT_EQ(label.FontColor(), kBlue);
    // The events come after the colour has changed.
    EXPECT_EQ(events, (QStringList{QStringLiteral("enter ff"), QStringLiteral("leave 8000"),
                                   QStringLiteral("enter ff"), QStringLiteral("leave ff0000")}));
}

TEST_F(LangTest, TheFocusColourIsNeverSavedAsTheNormalOne)
{
    TovkBasicLabel label;
    label.setFontColor(kGreen);
    label.setFontColor(colorref::clRed); // outside, equal to the focus colour
    EXPECT_EQ(label.savedColor(), kGreen);
    enter(&label);
    leave(&label);
    EXPECT_EQ(label.FontColor(), kGreen);
    // Another focus colour: red is an ordinary colour now.
    label.setFocusColor(kBlue);
    label.setFontColor(colorref::clRed);
    enter(&label);
    EXPECT_EQ(label.FontColor(), kBlue);
    leave(&label);
    EXPECT_EQ(label.FontColor(), colorref::clRed);
}

TEST_F(LangTest, TheHintShowsOnlyWhenAskedFor)
{
    TovkBasicLabel label;
    label.setToolTip(QStringLiteral("hint"));
    label.resize(60, 16);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    for (bool show : {false, true}) {
        label.setShowHint(show);
        QToolTip::hideText();
        QHelpEvent e(QEvent::ToolTip, QPoint(2, 2), label.mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(&label, &e);
        EXPECT_EQ(QToolTip::text(), show ? QStringLiteral("hint") : QString()) << show;
    }
}

TEST_F(LangTest, WebLabelDefaults)
{
    TovkWebLabel label;
    EXPECT_EQ(label.Link(), QStringLiteral("www.brimvale.example"));
    EXPECT_EQ(label.text(), label.Link());
    EXPECT_EQ(label.toolTip(), QStringLiteral("Brimvale site"));
    EXPECT_TRUE(label.ShowHint());
    EXPECT_EQ(label.FontColor(), colorref::clNavy);
    EXPECT_EQ(label.savedColor(), colorref::clNavy);
    EXPECT_EQ(label.FocusColor(), colorref::clRed);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.LinkType(), TovkWebLabel::lnHttp);
    EXPECT_EQ(label.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(label.cursor().pixmap().toImage(), webHandCursor().pixmap().toImage());
    EXPECT_EQ(label.cursor().hotSpot(), QPoint(5, 0));
    TovkBasicLabel basic;
    EXPECT_FALSE(basic.ShowHint());
}

TEST_F(LangTest, EveryLinkTypePutsItsPrefixBeforeTheLink)
{
    fakeXdgOpen(0);
    TovkWebLabel label;
    label.setLink(QStringLiteral("target"));
    const QStringList prefixes = {
        QStringLiteral("file://"), QStringLiteral("ftp://"),   QStringLiteral("gopher://"),
        QStringLiteral("http://"), QStringLiteral("https://"), QStringLiteral("mailto:"),
        QStringLiteral("news:"),   QStringLiteral("telnet:"),  QStringLiteral("wais:")};
    QStringList expected;
    for (int t = 0; t < prefixes.size(); ++t) {
        label.setLinkType(TovkWebLabel::TURLType(t));
        label.OpenLink();
        ASSERT_TRUE(waitForOpens());
        expected += prefixes[t] + QStringLiteral("target");
    }
    EXPECT_EQ(opened(), expected);
    // Outside the table there is no prefix.
    label.setLinkType(TovkWebLabel::TURLType(9));
    EXPECT_EQ(label.address(), QStringLiteral("target"));
}

TEST_F(LangTest, AnyButtonReleasedOverTheLabelOpensTheLink)
{
    fakeXdgOpen(0);
    TovkWebLabel label;
    label.resize(120, 16);
    label.setLinkType(TovkWebLabel::lnMailto);
    label.setLink(QStringLiteral("bugs@ostrevane.example"));
    int ups = 0;
    QObject::connect(&label, &TovkBasicLabel::OnMouseUp, &label, [&] {
        // The platform's handling comes first: nothing is started yet for this release.
        EXPECT_EQ(shell::pendingOpens() + opened().size(), ups);
        ++ups;
    });
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        release(&label, b);
        ASSERT_TRUE(waitForOpens());
    }
    EXPECT_EQ(opened(), QStringList(3, QStringLiteral("mailto:bugs@ostrevane.example")));
    // Let go somewhere else after a drag: nothing.
    release(&label, Qt::LeftButton, QPointF(500, 3));
    EXPECT_EQ(shell::pendingOpens(), 0);
    EXPECT_EQ(opened().size(), 3);
    EXPECT_EQ(ups, 4);
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(LangTest, ARefusedOpenReportsTheLinkWithoutItsPrefix)
{
    fakeXdgOpen(2);
    TovkWebLabel label;
    label.resize(120, 16);
    label.setLink(QStringLiteral("www.nowhere.example"));
    release(&label, Qt::LeftButton);
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(opened(), QStringList{QStringLiteral("http://www.nowhere.example")});
    EXPECT_EQ(errors(), QStringList{QStringLiteral(
                            "ShellExecute \"www.nowhere.example\" Failed with Error: 2")});
    EXPECT_EQ(label.Link(), QStringLiteral("www.nowhere.example"));
}

TEST_F(LangTest, AClickOnALinkReturnsBeforeTheDesktopHasAnswered)
{
    // xdg-open holds on until the test lets it go; the click must not wait for it.
    for (int status : {0, 3}) {
        SCOPED_TRACE(status);
        testapp::clearRecorded();
        fakeXdgOpen(status, true);
        TovkWebLabel label;
        label.resize(120, 16);
        label.setLink(QStringLiteral("slow.example"));
        release(&label, Qt::LeftButton);
        EXPECT_EQ(shell::pendingOpens(), 1);
        EXPECT_TRUE(errors().isEmpty());
        releaseXdgOpen();
        ASSERT_TRUE(waitForOpens());
        EXPECT_EQ(opened().size(), status == 0 ? 1 : 2);
        EXPECT_EQ(errors(), status == 0
                                ? QStringList()
                                : QStringList{QStringLiteral(
                                      "ShellExecute \"slow.example\" Failed with Error: 3")});
    }
}

TEST_F(LangTest, MissingXdgOpenIsReportedWithItsCode)
{
    noXdgOpen();
    TovkWebLabel label;
    try {
        label.OpenLink();
        FAIL() << "opened without xdg-open";
    } catch (const TmError& e) {
        EXPECT_EQ(e.text(),
                  QStringLiteral("ShellExecute \"www.brimvale.example\" Failed with Error: 127"));
    }
}

TEST_F(LangTest, TheHandCursorReplacesTheHandPointEverywhere)
{
    registerLabelClasses();
    QPushButton button;
    button.setCursor(Qt::PointingHandCursor);
    EXPECT_EQ(button.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(button.cursor().pixmap().toImage(), webHandCursor().pixmap().toImage());
    // Other shapes are left alone.
    button.setCursor(Qt::IBeamCursor);
    EXPECT_EQ(button.cursor().shape(), Qt::IBeamCursor);
    // The image is the program's own pointing hand: opaque outline, see-through corners.
    const QImage hand = webHandCursor().pixmap().toImage();
    ASSERT_EQ(hand.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(hand.pixel(31, 31)), 0);
    EXPECT_EQ(hand.pixel(5, 0), qRgb(0, 0, 0));
    EXPECT_EQ(hand.pixel(5, 1), qRgb(255, 255, 255));
}

} // namespace
