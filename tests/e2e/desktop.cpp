#include "desktop.h"

#include "net/netbed.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

QStringList readLines(const QString& file, bool* crlf)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    if (crlf)
        *crlf = data.endsWith("\r\n") && data.count('\n') == data.count("\r\n");
    QStringList lines = QString::fromUtf8(data).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
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

// ---- Program

Program::~Program()
{
    if (m_process.state() != QProcess::NotRunning)
        quit();
    m_screen.reset();
    m_display.stop();
}

QString Program::unavailableReason()
{
    if (!QFileInfo::exists(QStringLiteral("/run/netns/%1").arg(netbed::DatagramClient)))
        return QStringLiteral("the network test bed is not up (fixture tmn_netbed)");
    return QString();
}

bool Program::install(QString* output)
{
    if (!m_prefix.isValid() || !m_home.isValid()) {
        *output = QStringLiteral("no temporary folder for the prefix or the home");
        return false;
    }
    const ToolResult r = run(QStringLiteral(TM_E2E_CMAKE),
                             {QStringLiteral("--install"), QStringLiteral(TM_E2E_BUILD_DIR),
                              QStringLiteral("--prefix"), m_prefix.path()},
                             120000);
    *output = r.out + r.err;
    return r.exitCode == 0;
}

bool Program::startDisplay(QString* reason)
{
    if (!m_display.start(reason))
        return false;
    m_screen = std::make_unique<Screen>(m_display.name());
    return true;
}

bool Program::start(const Options& options, QString* reason)
{
    const QString runtime = m_home.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (options.asUser) {
        for (const QString& dir : {m_home.path(), runtime, options.workingDir}) {
            if (!dir.isEmpty() && ::chown(QFile::encodeName(dir).constData(), Nobody, Nobody)) {
                *reason = QStringLiteral("cannot give %1 to nobody").arg(dir);
                return false;
            }
        }
        // Readable and runnable by everyone, writable by root only: a system install.
        if (!QFile::setPermissions(m_prefix.path(),
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                       QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                       QFileDevice::ExeOther)) {
            *reason = QStringLiteral("cannot open %1 to everyone").arg(m_prefix.path());
            return false;
        }
    }
    QStringList env{
        QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin"),
        QStringLiteral("HOME=") + m_home.path(),
        QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
        QStringLiteral("LANG=") + options.lang,
        QStringLiteral("DISPLAY=") + m_display.name(),
        QStringLiteral("QT_QPA_PLATFORM=xcb"),
        QStringLiteral("QT_USE_NATIVE_WINDOWS=1"),
    };
    env << options.env;
    // A sanitizer build keeps its settings (suppressions, halt on error).
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"}) {
        if (qEnvironmentVariableIsSet(name))
            env << QString::fromLatin1(name) + u'=' + qEnvironmentVariable(name);
    }
    QStringList args{QStringLiteral("netns"), QStringLiteral("exec"),
                     QString::fromLatin1(netbed::DatagramClient)};
    if (options.asUser)
        args << QStringLiteral("setpriv") << QStringLiteral("--reuid=%1").arg(Nobody)
             << QStringLiteral("--regid=%1").arg(Nobody) << QStringLiteral("--clear-groups");
    args << QStringLiteral("env") << QStringLiteral("-i") << env
         << m_prefix.path() + QStringLiteral("/bin/quillnet");
    if (!options.workingDir.isEmpty())
        m_process.setWorkingDirectory(options.workingDir);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    if (!options.logFile.isEmpty())
        m_process.setStandardOutputFile(options.logFile, QIODevice::Truncate);
    m_process.start(QStringLiteral("ip"), args);
    if (!m_process.waitForStarted(10000)) {
        *reason = m_process.errorString();
        return false;
    }
    waitFor(
        [&] {
            for (const auto& t : m_screen->topLevels(WindowClass)) {
                if (t.rect.width() == place::FormClient.width()) {
                    m_main = t.id;
                    m_title = t.title;
                    return true;
                }
            }
            return m_process.state() == QProcess::NotRunning;
        },
        60000, 200);
    if (!m_main) {
        *reason = QStringLiteral("the main window did not appear within 60 s; ") + describe();
        return false;
    }
    if (!widget(place::ComboBox1, place::FormClient, 10000)) {
        *reason = QStringLiteral("the main window shows no host entry");
        return false;
    }
    return true;
}

std::optional<Window> Program::widget(const QRect& place, const QSize& parent, int timeoutMs,
                                      quint32 top) const
{
    std::optional<Window> found;
    waitFor(
        [&] {
            found = find(m_screen->tree(top ? top : m_main, WindowClass), place, parent);
            return found.has_value();
        },
        timeoutMs, 150);
    return found;
}

bool Program::clickOn(const QRect& place, const QSize& parent, QPoint at)
{
    const auto w = widget(place, parent);
    if (!w)
        return false;
    m_screen->click(at.x() < 0 ? w->screenRect().center() : w->absolute + at);
    return true;
}

bool Program::typeInto(const QRect& place, const QSize& parent, const QString& text)
{
    const auto w = widget(place, parent);
    if (!w)
        return false;
    m_screen->click(w->absolute + QPoint(40, w->rect.height() / 2));
    m_screen->key(QStringLiteral("ctrl+a"));
    m_screen->type(text);
    return true;
}

// The tab bar lies at the top of the page control, which is as wide as the window.
std::optional<Window> Program::tabBar() const
{
    const QList<Window> tree = m_screen->tree(m_main, WindowClass);
    for (const Window& w : tree) {
        if (w.viewable && w.parent >= 0 && w.rect.topLeft() == QPoint(0, 0) &&
            w.rect.height() < 40 && w.rect.width() < place::FormClient.width() &&
            tree[w.parent].rect.width() == place::FormClient.width() &&
            tree[w.parent].rect.height() >= 400)
            return w;
    }
    return std::nullopt;
}

bool Program::showTab(int index, const QRect& marker, QString* reason)
{
    const auto bar = tabBar();
    if (!bar) {
        *reason = QStringLiteral("no tab bar");
        return false;
    }
    const int width = bar->rect.width();
    QList<int> xs{index == 0 ? 8 : index == 2 ? width - 8 : width / 2};
    for (int x = 8; x < width - 4; x += 8)
        xs << x;
    for (int x : xs) {
        const auto now = tabBar();
        if (!now) {
            *reason = QStringLiteral("the tab bar went away");
            return false;
        }
        m_screen->click(now->absolute + QPoint(x, now->rect.height() / 2));
        if (widget(marker, QSize(), x == xs.first() ? 5000 : 1000))
            return true;
    }
    *reason = QStringLiteral("tab %1 did not show").arg(index);
    return false;
}

bool Program::quit()
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    if (!m_screen) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }
    if (auto exit = widget(place::DoExit, place::FormClient, 2000))
        m_screen->click(exit->screenRect().center());
    if (m_process.waitForFinished(20000))
        return true;
    m_process.kill();
    m_process.waitForFinished(5000);
    return false;
}

} // namespace desktop
