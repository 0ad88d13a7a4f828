#pragma once
// A virtual X display and what a user does on it: find windows, click, type, take pictures.
// Input goes through xdotool (XTEST), windows are read with xwininfo and xdotool, pictures are
// taken with ImageMagick's import. The program under test is started with
// QT_USE_NATIVE_WINDOWS=1, so every widget is an X window whose place inside its parent is the
// one its window description gives.

#include <QList>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

namespace desktop {

struct ToolResult
{
    int exitCode = -1; // -1: did not start or did not end in time
    QString out;
    QString err;
};
// Runs a helper program to its end (at most timeoutMs).
ToolResult run(const QString& program, const QStringList& args, int timeoutMs = 10000);

// Polls cond every stepMs until it holds or timeoutMs have passed; returns its last value.
bool waitFor(const std::function<bool()>& cond, int timeoutMs, int stepMs = 100);

// The lines of a file the program wrote, which end with CR LF; *crlf tells whether all do.
QStringList readLines(const QString& file, bool* crlf = nullptr);

// An Xvfb server on a display number that it picks itself (-displayfd).
class Display
{
public:
    Display() = default;
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Starts the server; false with a reason when it does not come up.
    bool start(QString* reason);
    void stop();
    QString name() const { return m_name; } // ":N"

private:
    pid_t m_pid = -1;
    QString m_name;
};

// One X window of the program, as xwininfo -tree shows it.
struct Window
{
    quint32 id = 0;
    int parent = -1; // index into the tree, -1 for the top-level window
    QRect rect;      // inside the parent
    QPoint absolute; // on the screen
    bool viewable = false;
    QRect screenRect() const { return QRect(absolute, rect.size()); }
};

// Tools that talk to one display.
class Screen
{
public:
    explicit Screen(QString display) : m_display(std::move(display)) {}

    ToolResult tool(const QString& program, const QStringList& args, int timeoutMs = 10000) const;

    // Top-level windows of a WM_CLASS that are mapped (no window manager: they are the root's
    // children). Ids with their titles and sizes, for finding and for error messages.
    struct TopLevel
    {
        quint32 id;
        QString title;
        QRect rect;
    };
    QList<TopLevel> topLevels(const QString& wmClass) const;
    QString describeTopLevels(const QString& wmClass) const;

    // The whole tree below a top-level window, the top-level first; viewable filled in.
    QList<Window> tree(quint32 topLevel, const QString& wmClass) const;

    void click(QPoint at) const;
    void key(const QString& keys) const; // xdotool key syntax, e.g. "ctrl+a"
    void type(const QString& text) const;
    // Writes a PNG of the window; the picture is taken again until two in a row are equal,
    // so a repaint in flight is not caught half done.
    bool screenshot(quint32 window, const QString& file, QString* reason) const;

private:
    QString m_display;
};

// Finds the viewable window whose place in its parent is rect (a width or height of -1 takes
// any), whose parent, when parentSize is valid, has that size.
std::optional<Window> find(const QList<Window>& tree, const QRect& rect,
                           const QSize& parentSize = QSize());

// Places of the main window's controls in their parents, as its description
// (resources/TForm1.ui) gives them; a width or height of -1 takes any.
namespace place {
inline const QSize FormClient(655, 513);
inline const QRect ComboBox1(4, 22, 250, 21); // host entry
inline const QRect DoExit(496, 10, 122, 25);  // "Beenden"
inline const QSize Panel1(329, 129);
inline const QRect CheckBox2(168, 101, -1, -1);   // "Log schreiben" of the Ping tab
inline const QRect Edit1(168, 74, 92, 21);        // data size
inline const QRect TrackBar1(2, 71, 150, 25);     // time-to-live
inline const QRect DoPing1(8, 136, 81, 25);       // "Ein Ping"
inline const QRect Continuous(121, 136, 120, 25); // "Dauerpingen" and "Pingen beenden", stacked
inline const QRect Button3(520, 304, 97, 25);     // "Analyse starten"
inline const QRect Edit5(0, 27, 241, 21);         // "Ziel UNC"
inline const QRect CheckBox8(296, 181, -1, -1);   // "Log schreiben" of the copy tab
inline const QRect Button5(8, 144, 115, 25);      // "Einmal kopieren"
inline const QSize AboutClient(248, 256);
inline const QRect AboutClose(86, 224, 75, 25);
} // namespace place

// The user "nobody", for a program that runs without root.
inline constexpr uid_t Nobody = 65534;

// The installed program on a display of its own, started inside the network test bed's
// datagram client: the build installed into a fresh prefix, run through bin/quillnet.
class Program
{
public:
    static inline const QString WindowClass = QStringLiteral("tallowmere");

    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Why the program cannot run here (the bed or the temporary folders are missing), or
    // nothing. Not being root is not asked here: the caller decides about that.
    static QString unavailableReason();

    // cmake --install of the build into the prefix; the tool's output when it fails.
    bool install(QString* output);
    bool startDisplay(QString* reason);

    QString prefix() const { return m_prefix.path(); }
    QString programDir() const { return m_prefix.path() + QStringLiteral("/lib/tallowmere/"); }
    QString home() const { return m_home.path(); }

    struct Options
    {
        QString lang = QStringLiteral("de_DE.UTF-8");
        QString logFile;    // the program's output
        QString workingDir; // empty: the test's own
        QStringList env;    // more NAME=value
        // Runs it as "nobody", for whom the installed tree is read-only; the home, its
        // runtime folder and the working folder become theirs.
        bool asUser = false;
    };
    // Starts the program and waits (up to 60 s) until its main window and host entry show.
    bool start(const Options& options, QString* reason);

    const Screen& screen() const { return *m_screen; }
    QProcess& process() { return m_process; }
    quint32 mainWindow() const { return m_main; }
    QString title() const { return m_title; }
    QString describe() const { return m_screen->describeTopLevels(WindowClass); }

    // Waits until the control at place (inside a parent of that size, when valid) shows in
    // the window top (default: the main window).
    std::optional<Window> widget(const QRect& place, const QSize& parent = QSize(),
                                 int timeoutMs = 5000, quint32 top = 0) const;
    // Clicks at a point of the control (default: its centre); false when it does not show.
    bool clickOn(const QRect& place, const QSize& parent = QSize(), QPoint at = QPoint(-1, -1));
    // Clicks into a field, selects all it holds and types text over it.
    bool typeInto(const QRect& place, const QSize& parent, const QString& text);
    // Clicks the tab and waits until the page shows the control marker. The tab texts differ
    // by language, so a tab that is not where its share of the bar puts it is looked for
    // along the bar.
    bool showTab(int index, const QRect& marker, QString* reason);

    // Ends the program as a user does, with "Beenden", and waits up to 20 s for it; false when
    // it did not end (it is killed then).
    bool quit();

private:
    std::optional<Window> tabBar() const;

    QTemporaryDir m_prefix;
    QTemporaryDir m_home;
    Display m_display;
    std::unique_ptr<Screen> m_screen;
    QProcess m_process;
    quint32 m_main = 0;
    QString m_title;
};

} // namespace desktop
