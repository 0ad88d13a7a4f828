// The main window driven as an operator drives it: clicks at the controls' places and keys to
// whatever has the focus. Echoes go to the loopback addresses only.

#include "formfixture.h"
#include "support/userinput.h"

#include "net/PingThrd.h"
#include "platform/memo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QTimer>

#include <unistd.h>

using userinput::click;
using userinput::focused;
using userinput::press;

namespace {

class InputTest : public FormTest
{
protected:
    TForm1& shownForm()
    {
        TForm1& f = form();
        EXPECT_TRUE(userinput::activate(&f));
        return f;
    }

    // Types the host into the host box and the size into the data size field, by keys.
    void enterPing(TForm1& f, const QString& host, const QString& size)
    {
        click(f.ComboBox1);
        userinput::retype(host);
        click(f.Edit1);
        ASSERT_EQ(focused(), f.Edit1);
        userinput::retype(size);
    }

    // Waits for the line of the ping log after the first before lines.
    static QString logLineAfter(TForm1& f, int before)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.LogWindow->Count() > before; }, 10000));
        return f.LogWindow->lines().value(before);
    }
};

// Where the handle of a slider is drawn, as the slider itself asks its style.
QRect handleOf(const QSlider* s)
{
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = s->orientation();
    opt.maximum = s->maximum();
    opt.minimum = s->minimum();
    opt.tickPosition = s->tickPosition();
    opt.tickInterval = s->tickInterval();
    opt.upsideDown = s->invertedAppearance() != (s->layoutDirection() == Qt::RightToLeft);
    opt.direction = Qt::LeftToRight;
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = s->value();
    opt.singleStep = s->singleStep();
    opt.pageStep = s->pageStep();
    return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
}

// A click on the groove a little to the right of the handle.
void clickRightOfHandle(QSlider* s)
{
    const QRect handle = handleOf(s);
    click(s, QPoint(handle.right() + 6, handle.center().y()));
}

} // namespace

TEST_F(InputTest, ATypedDataSizeIsTheSizeOfThePing)
{
    TForm1& f = shownForm();
    for (const char* size : {"1234", "64000", "1"}) {
        SCOPED_TRACE(size);
        ASSERT_NO_FATAL_FAILURE(
            enterPing(f, QStringLiteral("127.0.0.1"), QString::fromLatin1(size)));
        EXPECT_EQ(f.Edit1->text(), QString::fromLatin1(size));
        EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("127.0.0.1"));
        const int lines = f.LogWindow->Count();
        click(f.doPing1);
        const QString line = logLineAfter(f, lines);
        EXPECT_TRUE(
            QRegularExpression(
                QStringLiteral(", 127\\.0\\.0\\.1, %1 bytes, [0-9]+ms$").arg(QLatin1String(size)))
                .match(line)
                .hasMatch())
            << line.toStdString();
    }
}

TEST_F(InputTest, AHostTypedAsThePrefixOfAStoredOneIsPingedAsTyped)
{
    writeFile(QStringLiteral("hostfile.txt"), "127.0.0.10\r\nfar.example\r\n");
    TForm1& f = shownForm();
    click(f.ComboBox1);
    userinput::retype(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("127.0.0.1"));
    click(f.doPing1);
    const QString line = logLineAfter(f, 0);
    EXPECT_TRUE(line.contains(QStringLiteral(", 127.0.0.1, 32 bytes"))) << line.toStdString();
    // A new host: it goes first, the stored one stays.
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")),
              QByteArray("127.0.0.1\r\n127.0.0.10\r\nfar.example\r\n"));
}

TEST_F(InputTest, EverySliderMovesByKeysAndByAClickBesideItsHandle)
{
    TForm1& f = shownForm();
    const struct
    {
        QSlider* slider;
        QWidget* sheet;
        QLabel* value; // the caption that shows the position
    } sliders[] = {
        {f.TrackBar1, f.TabSheet1, f.Label5},  {f.TrackBar3, f.TabSheet1, f.Label18},
        {f.TrackBar2, f.TabSheet1, f.Label17}, {f.TrackBar4, f.TabSheet2, f.Label32},
        {f.TrackBar5, f.TabSheet3, f.Label55},
    };
    // Keys as on the original platform: Up and Page Up towards the minimum, a page of 2.
    const struct
    {
        Qt::Key key;
        int step; // 0: to the end the key names
    } keys[] = {
        {Qt::Key_Right, 1},    {Qt::Key_Left, -1},   {Qt::Key_Down, 1}, {Qt::Key_Up, -1},
        {Qt::Key_PageDown, 2}, {Qt::Key_PageUp, -2}, {Qt::Key_End, 0},  {Qt::Key_Home, 0},
    };
    for (const auto& s : sliders) {
        SCOPED_TRACE(s.slider->objectName().toStdString());
        userinput::clickTab(f.PageControl1, f.PageControl1->indexOf(s.sheet));
        ASSERT_EQ(f.PageControl1->currentWidget(), s.sheet);
        click(s.slider, handleOf(s.slider).center());
        ASSERT_EQ(focused(), s.slider) << "a click on the handle focuses the slider";
        for (const auto& k : keys) {
            SCOPED_TRACE(k.key);
            const int before = s.slider->value();
            int expected = k.key == Qt::Key_End    ? s.slider->maximum()
                           : k.key == Qt::Key_Home ? s.slider->minimum()
                                                   : before + k.step;
            expected = qBound(s.slider->minimum(), expected, s.slider->maximum());
            press(k.key);
            EXPECT_EQ(s.slider->value(), expected);
            EXPECT_EQ(s.value->text(), QString::number(s.slider->value()));
        }
        // At the minimum now: a click beside the handle moves one page of 2.
        const int before = s.slider->value();
        clickRightOfHandle(s.slider);
        EXPECT_EQ(s.slider->value(), before + 2);
        EXPECT_EQ(s.value->text(), QString::number(before + 2));
    }
}

TEST_F(InputTest, CtrlTabGoesRoundTheVisibleSheetsOnly)
{
    TForm1& f = shownForm();
    click(f.Edit1);
    const QList<QWidget*> forward = {f.TabSheet2, f.TabSheet3, f.TabSheet1, f.TabSheet2};
    for (QWidget* expected : forward) {
        press(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(f.PageControl1->currentWidget(), expected)
            << f.PageControl1->currentWidget()->objectName().toStdString() << " with the focus on "
            << (focused() ? focused()->objectName().toStdString() : "nothing");
    }
    const QList<QWidget*> back = {f.TabSheet1, f.TabSheet3, f.TabSheet2, f.TabSheet1};
    for (QWidget* expected : back) {
        press(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(f.PageControl1->currentWidget(), expected)
            << f.PageControl1->currentWidget()->objectName().toStdString();
    }
    // The tab bar's own keys skip the hidden sheet as well.
    userinput::clickTab(f.PageControl1, 2);
    press(Qt::Key_Right);
    EXPECT_NE(f.PageControl1->currentWidget(), f.TabSheet4);
}

TEST_F(InputTest, AltAndALetterClickTheFrontButtonThatShowsIt)
{
    TForm1& f = shownForm();
    ASSERT_NO_FATAL_FAILURE(enterPing(f, QStringLiteral("127.0.0.1"), QStringLiteral("32")));
    auto* fileMenu = f.findChild<QMenu*>(QStringLiteral("File1"));
    ASSERT_NE(fileMenu, nullptr);
    // Idle: "&Pingen beenden" lies behind "&Dauerpingen"; "Ein &Ping" takes the letter.
    qsizetype started = workerIds().size();
    press(Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(workerIds().size(), started + 1);
    EXPECT_FALSE(f.CheckBox1->isChecked());
    logLineAfter(f, 0);
    // "&Dauerpingen" before the menu "&Datei", which shares its letter.
    press(Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_FALSE(fileMenu->isVisible());
    ASSERT_TRUE(inFrontOf(f.Button2, f.Button1));
    logLineAfter(f, 1);
    // Pinging: both shown buttons carry P; the first of the window, "Ein &Ping", sends one
    // more echo and continuous pinging goes on.
    started = workerIds().size();
    press(Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(workerIds().size(), started + 1);
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.Timer1->isActive());
    logLineAfter(f, 2);
    // "&Dauerpingen" lies behind now: D opens the menu.
    started = workerIds().size();
    press(Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(workerIds().size(), started);
    EXPECT_TRUE(fileMenu->isVisible());
    press(Qt::Key_Escape);
    press(Qt::Key_Escape);
    EXPECT_FALSE(fileMenu->isVisible());
    click(f.Button2);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_TRUE(QTest::qWaitFor([] { return workersInFlight() == 0; }, 10000));
}

TEST_F(InputTest, EnterStartsALineOnlyInMemosThatTakeIt)
{
    TForm1& f = shownForm();
    userinput::clickTab(f.PageControl1, 1);
    click(f.CheckBox3, QPoint(6, f.CheckBox3->height() / 2));
    ASSERT_TRUE(f.Memo2->isVisible());
    const struct
    {
        TMemo* memo;
        QWidget* sheet;
        bool takesEnter;
    } memos[] = {{f.Memo2, f.TabSheet2, false},
                 {f.LogWindow, f.TabSheet1, true},
                 {f.Memo4, f.TabSheet3, true}};
    for (const auto& m : memos) {
        SCOPED_TRACE(m.memo->objectName().toStdString());
        userinput::clickTab(f.PageControl1, f.PageControl1->indexOf(m.sheet));
        click(m.memo);
        ASSERT_EQ(focused(), m.memo);
        userinput::type(QStringLiteral("ab"));
        press(Qt::Key_Return);
        userinput::type(QStringLiteral("c"));
        EXPECT_EQ(m.memo->lines(), m.takesEnter
                                       ? QStringList({QStringLiteral("ab"), QStringLiteral("c")})
                                       : QStringList{QStringLiteral("abc")});
        // Ctrl+Enter starts a line in every memo.
        press(Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(m.memo->lines().size(), m.takesEnter ? 3 : 2);
    }
}

TEST_F(InputTest, ControlsThatTabSkipsStillTakeAClick)
{
    TForm1& f = shownForm();
    // Tab goes round the tab stops of the Ping sheet and never reaches these.
    const QList<QWidget*> skipped = {f.Edit1,     f.TrackBar1, f.TrackBar2,
                                     f.TrackBar3, f.CheckBox6, f.LogWindow};
    click(f.ComboBox1);
    for (int i = 0; i < 20; ++i) {
        press(Qt::Key_Tab);
        EXPECT_FALSE(skipped.contains(focused())) << focused()->objectName().toStdString();
    }
    for (QWidget* w : skipped) {
        click(w, QPoint(4, w->height() / 2));
        EXPECT_EQ(focused(), w) << w->objectName().toStdString();
    }
}
