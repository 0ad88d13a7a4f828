#pragma once
// The application object: title, fonts, and the default error handler that shows whatever a
// handler throws in a message box titled with the application title.

#include <QApplication>
#include <QString>
#include <QStringList>

#include <functional>

class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    static TApplication* instance();

    QString Title() const { return m_title; }
    void setTitle(const QString& title);

    // Set once the message loop has been asked to end; completions arriving later are dropped.
    bool Terminated() const { return m_terminated; }
    void Terminate();
    // For test programs that create and end many windows in one process.
    void clearTerminated() { m_terminated = false; }

    // The default error handler and the plain message box. In tests a recorder takes the
    // texts instead of a modal box, so nothing ever blocks.
    void ShowException(const QString& message);
    // The same, once the current event has been handled.
    void ShowExceptionLater(const QString& message);
    void MessageBox(const QString& message);
    using Recorder = std::function<void(const QString& kind, const QString& text)>;
    void setRecorder(Recorder recorder) { m_recorder = std::move(recorder); }

    // The screen cursor as one setting, not a stack: busy or the default.
    void setBusyCursor(bool busy);
    bool busyCursor() const { return m_busy; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs fn and hands any exception to the error handler, as a command of the message loop
    // would; for work that does not start from an event, such as the start-up of a window.
    void guarded(const std::function<void()>& fn);

private:
    QString m_title;
    bool m_terminated = false;
    Recorder m_recorder;
    bool m_busy = false;
    // Texts of the error boxes open right now: a timer that fails again while its box is
    // still open must not pile up boxes.
    QStringList m_showing;
};
