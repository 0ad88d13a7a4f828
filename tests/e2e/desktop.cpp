#include "desktop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace desktop {

ToolResult run(const QString& program, const QStringList& args, int timeoutMs)
{
    return Screen(QString()).tool(program, args, timeoutMs);
}

bool waitFor(const std::function<bool()>& cond, int timeoutMs, int stepMs)
{
    QElapsedTimer clock;
    clock.start();
    while (true) {
        if (cond())
            return true;
        if (clock.elapsed() >= timeoutMs)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

// ---- Display

Display::~Display()
{
    stop();
}

bool Display::start(QString* reason)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *reason = QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        *reason = QStringLiteral("fork: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // The write end must survive exec: Xvfb writes its display number there.
        const int fd = ::dup(fds[1]);
        const std::string fdText = std::to_string(fd);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, 0);
        ::dup2(devNull, 1);
        ::dup2(devNull, 2);
        ::setsid();
        ::execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    m_pid = pid;
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 15000) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char buf[32];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        number.append(buf, n);
    }
    ::close(fds[0]);
    bool ok = false;
    const int display = number.trimmed().toInt(&ok);
    if (!ok) {
        *reason = QStringLiteral("Xvfb did not report a display number within 15 s (is xvfb "
                                 "installed?)");
        stop();
        return false;
    }
    m_name = QStringLiteral(":%1").arg(display);
    return true;
}

void Display::stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (::waitpid(m_pid, &status, WNOHANG) == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

// ---- Screen

ToolResult Screen::tool(const QString& program, const QStringList& args, int timeoutMs) const
{
    QProcess p;
    if (!m_display.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    ToolResult r;
    if (!p.waitForStarted(5000)) {
        r.err = QStringLiteral("%1 did not start: %2").arg(program, p.errorString());
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.err = QStringLiteral("%1 did not end within %2 ms").arg(program).arg(timeoutMs);
        return r;
    }
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

namespace {

// "  0x200049 "name": ("instance" "class")  81x25+8+136  +10+271"
const QRegularExpression& treeLine()
{
    static const QRegularExpression re(QStringLiteral(
        R"(^( *)0x([0-9a-f]+) (.*?)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)\s*$)"));
    return re;
}

QSet<quint32> ids(const QString& text)
{
    QSet<quint32> set;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
        set.insert(line.trimmed().toUInt());
    return set;
}

QSet<quint32> viewable(const Screen& s, const QString& wmClass, bool topOnly)
{
    QStringList args{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
    if (topOnly)
        args << QStringLiteral("--maxdepth") << QStringLiteral("1");
    args << QStringLiteral("--class") << QStringLiteral("^%1$").arg(wmClass);
    return ids(s.tool(QStringLiteral("xdotool"), args).out);
}

} // namespace

QList<Screen::TopLevel> Screen::topLevels(const QString& wmClass) const
{
    const QSet<quint32> mapped = viewable(*this, wmClass, true);
    const ToolResult r =
        tool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    QList<TopLevel> list;
    for (const QString& line : r.out.split(u'\n')) {
        const auto m = treeLine().match(line);
        if (!m.hasMatch())
            continue;
        const quint32 id = m.captured(2).toUInt(nullptr, 16);
        if (!mapped.contains(id))
            continue;
        QString title = m.captured(3);
        title = title.left(title.lastIndexOf(u':')); // drop the class part
        if (title.startsWith(u'"') && title.endsWith(u'"'))
            title = title.mid(1, title.size() - 2);
        list.append({id, title,
                     QRect(m.captured(8).toInt(), m.captured(9).toInt(), m.captured(4).toInt(),
                           m.captured(5).toInt())});
    }
    return list;
}

QString Screen::describeTopLevels(const QString& wmClass) const
{
    QStringList parts;
    for (const TopLevel& t : topLevels(wmClass))
        parts
            << QStringLiteral("\"%1\" %2x%3").arg(t.title).arg(t.rect.width()).arg(t.rect.height());
    return parts.isEmpty() ? QStringLiteral("no window of the program is shown")
                           : QStringLiteral("windows shown: ") + parts.join(QStringLiteral(", "));
}

QList<Window> Screen::tree(quint32 topLevel, const QString& wmClass) const
{
    QList<Window> nodes;
    for (const TopLevel& t : topLevels(wmClass)) {
        if (t.id == topLevel)
            nodes.append({t.id, -1, QRect(QPoint(0, 0), t.rect.size()), t.rect.topLeft(), true});
    }
    if (nodes.isEmpty())
        return nodes;
    const QSet<quint32> mapped = viewable(*this, wmClass, false);
    const ToolResult r =
        tool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"),
                                          QStringLiteral("0x%1").arg(topLevel, 0, 16)});
    // Children are indented by 5 blanks, each level deeper by 3 more.
    QList<int> lastAtDepth{0};
    for (const QString& line : r.out.split(u'\n')) {
        const auto m = treeLine().match(line);
        if (!m.hasMatch())
            continue;
        const int depth = (int(m.captured(1).size()) - 5) / 3 + 1;
        if (depth < 1 || depth > lastAtDepth.size())
            continue;
        Window w;
        w.id = m.captured(2).toUInt(nullptr, 16);
        w.parent = lastAtDepth[depth - 1];
        w.rect = QRect(m.captured(6).toInt(), m.captured(7).toInt(), m.captured(4).toInt(),
                       m.captured(5).toInt());
        w.absolute = QPoint(m.captured(8).toInt(), m.captured(9).toInt());
        // A window is seen only when it and all its ancestors are mapped.
        w.viewable = mapped.contains(w.id) && nodes[w.parent].viewable;
        nodes.append(w);
        lastAtDepth.resize(depth);
        lastAtDepth.append(int(nodes.size()) - 1);
    }
    return nodes;
}

void Screen::click(QPoint at) const
{
    tool(QStringLiteral("xdotool"),
         {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
          QStringLiteral("click"), QStringLiteral("1")});
}

void Screen::key(const QString& keys) const
{
    tool(QStringLiteral("xdotool"),
         {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), keys});
}

void Screen::type(const QString& text) const
{
    tool(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"),
                                     QStringLiteral("30"), QStringLiteral("--"), text});
}

bool Screen::screenshot(quint32 window, const QString& file, QString* reason) const
{
    QImage previous;
    for (int attempt = 0; attempt < 15; ++attempt) {
        const ToolResult r =
            tool(QStringLiteral("import"),
                 {QStringLiteral("-window"), QStringLiteral("0x%1").arg(window, 0, 16),
                  QStringLiteral("png:") + file});
        if (r.exitCode != 0) {
            *reason = QStringLiteral("import failed: %1").arg(r.err.trimmed());
            return false;
        }
        const QImage shot(file);
        if (shot.isNull()) {
            *reason = QStringLiteral("import wrote no readable picture to %1").arg(file);
            return false;
        }
        if (shot == previous)
            return true;
        previous = shot;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    *reason = QStringLiteral("the window kept changing; the last picture is in %1").arg(file);
    return true;
}

std::optional<Window> find(const QList<Window>& tree, const QRect& rect, const QSize& parentSize)
{
    for (const Window& w : tree) {
        if (!w.viewable || w.parent < 0 || w.rect.topLeft() != rect.topLeft())
            continue;
        if (rect.width() >= 0 && w.rect.width() != rect.width())
            continue;
        if (rect.height() >= 0 && w.rect.height() != rect.height())
            continue;
        if (parentSize.isValid() && tree[w.parent].rect.size() != parentSize)
            continue;
        return w;
    }
    return std::nullopt;
}

} // namespace desktop
