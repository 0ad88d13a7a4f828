// The copy tab as the operator uses it on bad links and awkward destinations: clicks on its
// buttons, text typed into the destination field.

#include "copytab.h"
#include "platform/blockingcall.h"
#include "platform/copy/copythread.h"
#include "smbbed.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

using namespace copytab;

namespace {

// Counts, on the GUI thread, what reaches the window: paints of one of its widgets, mouse
// presses on any.
class Watch : public QObject
{
public:
    Watch(QWidget* window, QWidget* painted) : m_window(window), m_painted(painted)
    {
        qApp->installEventFilter(this);
    }
    ~Watch() override { qApp->removeEventFilter(this); }
    std::atomic<int> paints{0};
    std::atomic<int> presses{0};

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (object == m_painted && event->type() == QEvent::Paint)
            ++paints;
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget && widget->window() == m_window && event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }

private:
    QWidget* m_window;
    QWidget* m_painted;
};

// The operator's click on the "VamtKopie" tab.
void openCopyTab(TForm1& f)
{
    QTabBar* bar = f.PageControl1->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      bar->tabRect(f.PageControl1->indexOf(f.TabSheet3)).center());
    ASSERT_EQ(f.PageControl1->currentWidget(), f.TabSheet3);
}

QMouseEvent* mouseEvent(QEvent::Type type, QWidget* widget)
{
    const QPointF at(5, widget->height() / 2.0);
    return new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                           type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                           Qt::NoModifier);
}

} // namespace

class CopyTabLinks : public FormTest
{
};

TEST_F(CopyTabLinks, ForwardSlashesReachTheShare)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    const QString share =
        QStringLiteral("//%1/%2").arg(smbbed::bed().serverAddress, smbbed::bed().writableShare);
    setDestination(f, share);
    copyOnce(f);
    EXPECT_EQ(f.Edit5->text(), share + u'/');
    EXPECT_FALSE(lastLine(f.Memo4).contains(QStringLiteral("failed")))
        << lastLine(f.Memo4).toStdString();
    EXPECT_GT(newest(f.VexTrend4), 0);
    EXPECT_TRUE(QDir(smbbed::bed().writableDir).entryList(QDir::Files).isEmpty());
}

TEST_F(CopyTabLinks, TheUsersReadOnlyFileStays)
{
    // A local folder stands in for a mounted share; the user keeps a file of the test file's
    // name there, read-only.
    TForm1& f = form();
    ASSERT_TRUE(QDir(path(QString())).mkdir(QStringLiteral("mounted")));
    const QString mine = path(QStringLiteral("mounted/1Mbyte.txt"));
    QFile file(mine);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mine\n");
    file.close();
    ASSERT_TRUE(
        QFile::setPermissions(mine, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    setDestination(f, path(QStringLiteral("mounted")));
    copyOnce(f);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")))
        << lastLine(f.Memo4).toStdString();
    EXPECT_EQ(testapp::fileBytes(mine), QByteArray("mine\n"));
}

TEST_F(CopyTabLinks, WhileACopyHangsTheWindowPaintsAndTakesNoInput)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    openCopyTab(f);
    // Without its separator: the tab adds it, and the field shows that while the copy hangs.
    QString folder = smbbed::uncFolder(smbbed::bed().writableShare);
    folder.chop(1);
    setDestination(f, folder);
    smbbed::LinkScope link(QStringLiteral("off"));
    QString reason;
    ASSERT_TRUE(smbbed::freezeServer(&reason)) << reason.toStdString();

    // Everything typed is on the screen; the field changes next inside the click, right
    // before the copy, so a paint of it while the copy runs is the wait's doing.
    QCoreApplication::processEvents();
    Watch watch(&f, f.Edit5);
    const bool logChecked = f.CheckBox8->isChecked();
    // A click on "Log schreiben" that arrives while the copy hangs.
    QMouseEvent* press = mouseEvent(QEvent::MouseButtonPress, f.CheckBox8);
    QMouseEvent* release = mouseEvent(QEvent::MouseButtonRelease, f.CheckBox8);
    const blockingcall::WorkThread& copier = filecopy::copyThread();
    std::atomic<bool> hung{false};
    std::atomic<bool> paintedDuring{false};
    std::atomic<int> pressesDuring{-1};
    std::thread meanwhile([&] {
        hung = smbbed::eventually([&] { return copier.busy(); });
        // The press on "Einmal kopieren" that started the copy is in already.
        const int pressesBefore = watch.presses;
        paintedDuring = smbbed::eventually([&] { return watch.paints > 0 || !copier.busy(); }) &&
                        watch.paints > 0 && copier.busy();
        QCoreApplication::postEvent(f.CheckBox8, press);
        QCoreApplication::postEvent(f.CheckBox8, release);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int presses = watch.presses - pressesBefore;
        if (copier.busy())
            pressesDuring = presses;
    });
    copyOnce(f);
    meanwhile.join();
    ASSERT_TRUE(hung);
    EXPECT_TRUE(lastLine(f.Memo4).endsWith(QStringLiteral(", copy process has failed")));
    EXPECT_TRUE(paintedDuring) << "the window did not paint while the copy hung";
    EXPECT_EQ(pressesDuring, 0) << "a click was handled in the middle of the copy";
    EXPECT_EQ(f.CheckBox8->isChecked(), logChecked);
    // The click was kept and comes after the measurement.
    QCoreApplication::processEvents();
    EXPECT_EQ(f.CheckBox8->isChecked(), !logChecked);
}

TEST_F(CopyTabLinks, ASlowCopyIsNotFollowedAtOnceByTheNext)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    // A server that never answers holds each copy for the whole time-out, longer than the
    // interval (shortened here below the slider's minimum for the test's sake).
    setDestination(f, QStringLiteral("\\\\%1\\share").arg(smbbed::bed().muteAddress));
    f.Timer4->setInterval(1000);
    QTest::mouseClick(f.Button7, Qt::LeftButton);
    ASSERT_EQ(f.Memo4->Count(), 1);
    // The ticks that fell due meanwhile do not start another copy at once.
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Memo4->Count(), 1);
    EXPECT_TRUE(f.Timer4->isActive());
    QTest::mouseClick(f.Button8, Qt::LeftButton);
    EXPECT_FALSE(f.Timer4->isActive());
}
