// Dispatch rules of the Ping tab that need no network: typed sizes, sliders, the stacked buttons.

#include "formfixture.h"

#include "net/PingThrd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace {

} // namespace

TEST_F(FormTest, TypedDataSizesAreCheckedBeforeAnythingIsSent)
{
    TForm1& f = form();
    // An empty host is refused by the engine without sending anything.
    f.ComboBox1->lineEdit()->clear();
    QTest::keyClick(f.ComboBox1->lineEdit(), Qt::Key_Space);
    QTest::keyClick(f.ComboBox1->lineEdit(), Qt::Key_Backspace);
    // The messages, with the typed text in place of %1.
    const char* const notANumber = "'%1' ist kein gültiger Integerwert";
    const char* const outOfRange =
        "Die Datengröße '%1' ist ungültig: erlaubt sind 1 bis 64000 Bytes.";
    const struct
    {
        const char* text;
        bool sent;
        const char* message;
    } cases[] = {
        {"", false, notANumber},
        {"abc", false, notANumber},
        {"-1", false, outOfRange},
        {"0", false, outOfRange},
        {"64001", false, outOfRange},
        {"1e3", false, notANumber},
        {"99999999999", false, notANumber},
        {" 32", true, nullptr},
        {"64000", true, nullptr},
        {"1", true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        testapp::clearRecorded();
        f.Edit1->setText(QString::fromLatin1(c.text));
        // Continuous pinging is on, so that stopping it shows.
        f.CheckBox1->blockSignals(true);
        f.CheckBox1->setChecked(true);
        f.CheckBox1->blockSignals(false);
        f.Timer1->start();
        const qsizetype before = workerIds().size();
        QTest::mouseClick(f.doPing1, Qt::LeftButton);
        EXPECT_EQ(workerIds().size() - before, c.sent ? 1 : 0);
        EXPECT_EQ(testapp::recorded().size(), c.message ? 1 : 0);
        if (c.message) {
            EXPECT_EQ(testapp::recorded()[0].text,
                      QString::fromUtf8(c.message).arg(QString::fromLatin1(c.text)));
        }
        // A size that is not sent stops continuous pinging, with or without a message.
        EXPECT_EQ(f.Timer1->isActive(), c.sent);
        EXPECT_EQ(f.CheckBox1->isChecked(), c.sent);
        if (!c.sent) {
            EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
        }
    }
    f.Timer1->stop();
    // The echoes of the accepted sizes come back (refused: the host is empty) before the
    // window goes.
    EXPECT_TRUE(QTest::qWaitFor([] { return workersInFlight() == 0; }, 10000));
}

TEST_F(FormTest, TimeOutSliderKeepsTheIntervalAboveIt)
{
    TForm1& f = form();
    f.CheckBox1->blockSignals(true);
    f.CheckBox1->setChecked(true);
    f.CheckBox1->blockSignals(false);
    f.Timer1->start(5000);
    f.TrackBar2->setValue(9);
    EXPECT_EQ(f.Label17->text(), QStringLiteral("9"));
    EXPECT_EQ(f.TrackBar3->minimum(), 10);
    EXPECT_EQ(f.TrackBar3->value(), 10);
    EXPECT_EQ(f.Label18->text(), QStringLiteral("10"));
    EXPECT_EQ(f.Timer1->interval(), 10000);
    EXPECT_TRUE(f.Timer1->isActive());
    f.TrackBar2->setValue(1);
    EXPECT_EQ(f.TrackBar3->minimum(), 2);
    EXPECT_EQ(f.TrackBar3->value(), 10);
    f.TrackBar3->setValue(30);
    EXPECT_EQ(f.Label18->text(), QStringLiteral("30"));
    EXPECT_EQ(f.Timer1->interval(), 30000);
    f.TrackBar1->setValue(0);
    EXPECT_EQ(f.Label5->text(), QStringLiteral("0"));
    f.Timer1->stop();
}

TEST_F(FormTest, ConversionErrorDuringContinuousPingingIsShownOnce)
{
    TForm1& f = form();
    f.Edit1->setText(QStringLiteral("x"));
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_FALSE(f.CheckBox1->isChecked());
    // The start ended with the first ping: "Dauerpingen" stays in front.
    EXPECT_TRUE(inFrontOf(f.Button1, f.Button2));
    // The message may be shown later; a second one would be queued behind it.
    ASSERT_TRUE(testapp::waitForRecorded(1));
    testapp::deliverPosted();
    EXPECT_EQ(testapp::recorded().size(), 1);
}
