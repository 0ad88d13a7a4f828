// Copy speeds on fast and limited links, and why a copy failed, against the bed's Samba server.

#include "copytab.h"
#include "smb/smbbed.h"
#include "uinet/tabdriver.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolTip>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace copytab;

namespace {

// The bed's description, for limiting its link.
QHash<QString, QString> bedValues()
{
    QHash<QString, QString> values;
    QFile f(qEnvironmentVariable("TM_SMBBED_ENV"));
    if (!f.open(QIODevice::ReadOnly))
        return values;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        QString v = line.mid(eq + 1).trimmed();
        if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
            v = v.mid(1, v.size() - 2);
        values.insert(line.left(eq), v);
    }
    return values;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 %2 failed: %3")
            .arg(program, args.join(u' '), QString::fromLocal8Bit(p.readAll()));
    return QString();
}

// A token bucket on both ends of the link for as long as it lives.
class LimitedLink
{
public:
    explicit LimitedLink(const QString& rate)
    {
        m_values = bedValues();
        m_problem = run(QStringLiteral("bash"),
                        {m_values.value(QStringLiteral("SCRIPT")), QStringLiteral("shape"),
                         qEnvironmentVariable("TM_SMBBED_ENV"), rate});
    }
    ~LimitedLink()
    {
        for (const char* side : {"SERVER", "CLIENT"}) {
            const QString key = QString::fromLatin1(side);
            run(QStringLiteral("ip"),
                {QStringLiteral("netns"), QStringLiteral("exec"),
                 m_values.value(key + QStringLiteral("_NS")), QStringLiteral("tc"),
                 QStringLiteral("qdisc"), QStringLiteral("del"), QStringLiteral("dev"),
                 m_values.value(key + QStringLiteral("_IF")), QStringLiteral("root")});
        }
    }
    QString problem() const { return m_problem; }

private:
    QHash<QString, QString> m_values;
    QString m_problem;
};

struct Measured
{
    int ms = 0;         // the log line's milliseconds
    int speed = 0;      // hundredths of MBit/s, as graphed
    qint64 clickUs = 0; // the whole click, copy and bookkeeping: the copy took no longer
};

Measured copyAndTime(TForm1& f)
{
    QElapsedTimer clock;
    clock.start();
    copyOnce(f);
    Measured m;
    m.clickUs = clock.nsecsElapsed() / 1000;
    static const QRegularExpression format(
        QStringLiteral("^\\S+\\d\\d, \\d\\d.\\d\\d.\\d\\d, (\\d+)ms, [\\d.,]+ MBit/s$"));
    const auto match = format.match(lastLine(f.Memo4));
    EXPECT_TRUE(match.hasMatch()) << lastLine(f.Memo4).toStdString();
    m.ms = match.captured(1).toInt();
    m.speed = newest(f.VexTrend4);
    EXPECT_EQ(f.Label47->text(), QString::number(m.speed));
    return m;
}

// Checks that a speed and a time in milliseconds come from one time in microseconds that the
// click's own duration bounds; returns the range of that time.
std::pair<long double, long double> checkConsistent(const Measured& m, int64_t size)
{
    const long double bits = size * 800000000.0L / 1048576;
    const long double fastest = bits / (m.speed + 0.5L); // shortest time that gives this speed
    const long double slowest = m.speed > 0 ? bits / (m.speed - 0.5L) : 1e30L;
    EXPECT_GT(m.speed, 0);
    EXPECT_LE(fastest, (m.ms + 0.5L) * 1000) << m.ms << " ms, speed " << m.speed;
    EXPECT_GE(slowest, (m.ms - 0.5L) * 1000) << m.ms << " ms, speed " << m.speed;
    EXPECT_LE(fastest, m.clickUs) << "speed " << m.speed << " is slower than the click";
    return {fastest, slowest};
}

// Hundredths of MBit/s (1048576 bit) for a size copied in whole milliseconds, rounded half to
// even, in integers: size * 8 * 100 * 1000 / (1048576 * ms).
constexpr int64_t hundredthsFromMilliseconds(int64_t size, int64_t ms)
{
    if (ms <= 0)
        return 0;
    const int64_t num = size * 800000;
    const int64_t den = 1048576 * ms;
    const int64_t q = num / den;
    const int64_t twice = 2 * (num % den);
    return q + (twice > den || (twice == den && q % 2 != 0) ? 1 : 0);
}
// Worked by hand: 1 MB is 8 Mbit, 100 KB 0.78125 Mbit.
static_assert(hundredthsFromMilliseconds(1048576, 1) == 800000); // 8000 MBit/s
static_assert(hundredthsFromMilliseconds(1048576, 3) == 266667); // 2666.666...
static_assert(hundredthsFromMilliseconds(1048576, 84) == 9524);  // 95.238...
static_assert(hundredthsFromMilliseconds(102400, 1) == 78125);   // 781.25
static_assert(hundredthsFromMilliseconds(102400, 2) == 39062);   // 390.625: half to even
static_assert(hundredthsFromMilliseconds(102400, 6) == 13021);   // 130.208...
static_assert(hundredthsFromMilliseconds(1048576, 0) == 0);

// A speed computed from whole milliseconds, as a coarse clock gives it.
bool fromWholeMilliseconds(const Measured& m, int64_t size)
{
    return m.speed == hundredthsFromMilliseconds(size, m.ms);
}

} // namespace

class CopySpeed : public FormTest
{
};

TEST_F(CopySpeed, FastLinkSpeedsComeFromMicroseconds)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, smbbed::uncFolder(smbbed::bed().writableShare));
    const struct
    {
        QRadioButton* button;
        int64_t size;
    } files[] = {{f.RadioButton1, 102400}, {f.RadioButton2, 1048576}};
    for (const auto& file : files) {
        file.button->click();
        copyOnce(f); // the first copy also opens the session
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << file.size << " bytes, copy " << i);
            const Measured m = copyAndTime(f);
            checkConsistent(m, file.size);
            // On this link a copy takes a few milliseconds or less: whole milliseconds would
            // give 4000 or 2667 MBit/s for 1 MB, and 0 under a millisecond.
            EXPECT_FALSE(fromWholeMilliseconds(m, file.size)) << m.ms << " ms, speed " << m.speed;
        }
    }
}

TEST_F(CopySpeed, LimitedLinkSpeedStaysBelowTheLink)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    setDestination(f, smbbed::uncFolder(smbbed::bed().writableShare));
    f.RadioButton2->click();
    copyOnce(f);
    const LimitedLink link(QStringLiteral("100mbit"));
    ASSERT_TRUE(link.problem().isEmpty()) << link.problem().toStdString();
    // The bucket lets 64 KiB through at once, the rest at 100 000 000 bit/s.
    const long double shortest = (1048576.0L * 8 - 65536 * 8) / 100e6L * 1e6L;
    int coarse = 0;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Measured m = copyAndTime(f);
        const auto [fastest, slowest] = checkConsistent(m, 1048576);
        EXPECT_GE(slowest, shortest) << "faster than the link: speed " << m.speed;
        EXPECT_GE(m.ms, 70);
        coarse += fromWholeMilliseconds(m, 1048576);
    }
    // Around 84 ms a time within 5 us of a whole millisecond gives the same speed; three in a row
    // happen only when the clock counts whole milliseconds.
    EXPECT_LT(coarse, 3);
}

TEST_F(CopySpeed, EachFailureShowsItsReasonBesideTheUnchangedLine)
{
    TM_REQUIRE_SMBBED();
    TForm1& f = form();
    tabdriver::showTab(f, f.TabSheet3);
    f.CheckBox8->click();
    struct Logged
    {
        QString category;
        QString text;
    };
    static QList<Logged> logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (QLatin1String(context.category) == QLatin1String("tallowmere.copy"))
                logged.append({QString::fromLatin1(context.category), text});
        });
    const smbbed::Bed& bed = smbbed::bed();
    const auto os = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
    const struct
    {
        const char* name;
        QString destination;
        QString inReason;      // the folder or server the reason names
        QStringList osReasons; // one of them; none when the reason is the program's own
        bool serverDown;
    } cases[] = {
        {"missing folder",
         smbbed::uncFolder(bed.writableShare) + QStringLiteral("nosuchdir\\"),
         QStringLiteral("/nosuchdir/"),
         {os(ENOENT)},
         false},
        {"read-only share",
         smbbed::uncFolder(bed.readonlyShare),
         bed.readonlyShare,
         {os(EACCES)},
         false},
        {"refused login", smbbed::uncFolder(bed.authShare), bed.authShare, {os(EACCES)}, false},
        {"server not running",
         smbbed::uncFolder(bed.writableShare),
         bed.serverAddress,
         // A session of an earlier copy is cut off; a new one is refused.
         {os(ECONNABORTED), os(ECONNREFUSED)},
         true},
        {"no share named", QStringLiteral("\\\\"), QStringLiteral("names no share"), {}, false},
    };
    QStringList reasons;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString problem;
        if (c.serverDown) {
            ASSERT_TRUE(smbbed::stopServer(&problem)) << problem.toStdString();
        }
        setDestination(f, c.destination);
        copyOnce(f);
        if (c.serverDown) {
            ASSERT_TRUE(smbbed::startServer(&problem)) << problem.toStdString();
        }
        const QString line = lastLine(f.Memo4);
        ASSERT_TRUE(line.endsWith(QStringLiteral(", copy process has failed")))
            << line.toStdString();
        // Hovering the line shows why.
        QTextBlock block = f.Memo4->document()->lastBlock();
        ASSERT_EQ(block.text(), line);
        const QRect row = f.Memo4->cursorRect(QTextCursor(block));
        QHelpEvent hover(QEvent::ToolTip, row.center() + QPoint(20, 0),
                         f.Memo4->viewport()->mapToGlobal(row.center()));
        QApplication::sendEvent(f.Memo4->viewport(), &hover);
        EXPECT_TRUE(QToolTip::isVisible());
        const QString reason = QToolTip::text();
        EXPECT_TRUE(reason.contains(c.inReason)) << reason.toStdString();
        EXPECT_TRUE(c.osReasons.isEmpty() ||
                    std::any_of(c.osReasons.begin(), c.osReasons.end(),
                                [&](const QString& osText) { return reason.contains(osText); }))
            << reason.toStdString();
        reasons << reason;
        if (c.serverDown) {
            EXPECT_FALSE(
                tabdriver::savePicture(&f, QStringLiteral("copy-failure-reason.png")).isEmpty());
        }
        // The diagnostic log has the line and the reason.
        ASSERT_FALSE(logged.isEmpty());
        EXPECT_EQ(logged.last().category, QStringLiteral("tallowmere.copy"));
        EXPECT_TRUE(logged.last().text.contains(line) && logged.last().text.contains(reason))
            << logged.last().text.toStdString();
    }
    qInstallMessageHandler(previous);
    // Five failures, five different reasons; the stored lines are just the failure lines.
    EXPECT_EQ(QSet<QString>(reasons.begin(), reasons.end()).size(), 5);
    EXPECT_EQ(fileBytes(QStringLiteral("vamtcopy.txt")),
              (f.Memo4->lines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    EXPECT_EQ(f.Memo4->Count(), 5);
    // Away from the lines there is no tip.
    QHelpEvent below(
        QEvent::ToolTip, QPoint(5, f.Memo4->viewport()->height() - 3),
        f.Memo4->viewport()->mapToGlobal(QPoint(5, f.Memo4->viewport()->height() - 3)));
    QApplication::sendEvent(f.Memo4->viewport(), &below);
    // The tip shown above goes after a short delay of its own (300 ms); left alone it would
    // stay for ten seconds, so two seconds tell the two apart.
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000))
        << QToolTip::text().toStdString();
}
