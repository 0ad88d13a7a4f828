// Both windows in English, as an operator meets them: every text readable in full, the
// captions as described, the letters of the buttons acting on the button in front.

#include "langfixture.h"
#include "support/labelfit.h"
#include "support/userinput.h"

#include "controls/ovkWebLabel.h"
#include "platform/memo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace {

TEST_F(LangTest, EnglishWindowsShowEveryTextInFull)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    TForm1& f = form1();
    ASSERT_EQ(f.windowTitle(), QString::fromLatin1(kEnglishCaption));
    const std::function<void()> states[] = {
        [] {},
        [&f] { labelfit::showLargestValues(f); },
        [&f] { f.RadioButton4->click(); },
    };
    for (int s = 0; s < int(std::size(states)); ++s) {
        states[s]();
        for (int tab = 0; tab < 3; ++tab) {
            SCOPED_TRACE(QStringLiteral("state %1, tab %2").arg(s).arg(tab).toStdString());
            f.PageControl1->setCurrentIndex(tab);
            const QStringList unreadable = labelfit::unreadableLabels(&f);
            EXPECT_TRUE(unreadable.isEmpty()) << unreadable.join(u'\n').toStdString();
        }
    }
    f.RadioButton5->click();
    // The separator is the one of the locale the program started with.
    EXPECT_EQ(f.Label49->text(),
              QStringLiteral("4551111") + QLocale::system().decimalPoint() + QStringLiteral("11"));

    TForm2& about = form2();
    showAboutWindow(about);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    const QStringList unreadable = labelfit::unreadableLabels(&about);
    EXPECT_TRUE(unreadable.isEmpty()) << unreadable.join(u'\n').toStdString();
}

TEST_F(LangTest, EnglishLettersActOnTheButtonInFront)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    TForm1& f = form1();
    ASSERT_TRUE(userinput::activate(&f));
    userinput::click(f.ComboBox1);
    userinput::retype(QStringLiteral("127.0.0.1"));
    QSignalSpy once(f.doPing1, &QPushButton::clicked);
    QSignalSpy start(f.Button1, &QPushButton::clicked);
    QSignalSpy stop(f.Button2, &QPushButton::clicked);
    const struct
    {
        Qt::Key letter;
        int once, start, stop; // clicks so far
        bool pinging;          // continuous pinging on afterwards
    } steps[] = {
        {Qt::Key_S, 0, 0, 0, false}, // "&Stop pinging" lies behind
        {Qt::Key_P, 1, 0, 0, false}, // "One &Ping"
        {Qt::Key_C, 1, 1, 0, true},  // "&Continuous ping"
        {Qt::Key_C, 1, 1, 0, true},  // now behind "&Stop pinging"
        {Qt::Key_P, 2, 1, 0, true},  // one more echo, still pinging
        {Qt::Key_S, 2, 1, 1, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(QKeySequence(s.letter).toString().toStdString());
        userinput::press(s.letter, Qt::AltModifier);
        EXPECT_EQ(once.size(), s.once);
        EXPECT_EQ(start.size(), s.start);
        EXPECT_EQ(stop.size(), s.stop);
        EXPECT_EQ(f.CheckBox1->isChecked(), s.pinging);
    }
    EXPECT_TRUE(QTest::qWaitFor([&f] { return f.LogWindow->Count() >= 3; }, 10000));
}

} // namespace
