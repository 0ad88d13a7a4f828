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

#include <chrono>
#include <functional>
#include <optional>

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

} // namespace desktop
