#include "platform/application.h"

#include "platform/errors.h"
#include "platform/logging.h"

#include <QFont>
#include <QIcon>
#include <QMessageBox>

#include <exception>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The windows were laid out for a narrow sans serif; Liberation Sans has Arial's widths.
    for (const char* family : {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2"})
        QFont::insertSubstitutions(QString::fromLatin1(family),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("DejaVu Sans")});
    setApplicationName(QStringLiteral("tallowmere"));
    // Lets desktops match the windows to the installed desktop file and icon.
    setDesktopFileName(QStringLiteral("example.ostrevane.Tallowmere"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("example.ostrevane.Tallowmere")));
    setQuitOnLastWindowClosed(true);
}

TApplication::~TApplication() = default;

TApplication* TApplication::instance()
{
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

void TApplication::setTitle(const QString& title)
{
    // Not Qt's display name: that would be appended to the caption of every window.
    m_title = title;
}

void TApplication::Terminate()
{
    m_terminated = true;
    quit();
}

void TApplication::ShowException(const QString& message)
{
    if (m_recorder) {
        m_recorder(QStringLiteral("error"), message);
        return;
    }
    if (m_showing.contains(message))
        return;
    m_showing.append(message);
    QMessageBox::critical(activeWindow(), m_title, message);
    m_showing.removeOne(message);
}

void TApplication::setBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        setOverrideCursor(Qt::WaitCursor);
    else
        restoreOverrideCursor();
}

void TApplication::ShowExceptionLater(const QString& message)
{
    QMetaObject::invokeMethod(
        this, [this, message] { ShowException(message); }, Qt::QueuedConnection);
}

void TApplication::MessageBox(const QString& message)
{
    if (m_recorder) {
        m_recorder(QStringLiteral("message"), message);
        return;
    }
    QMessageBox::information(activeWindow(), m_title, message);
}

void TApplication::guarded(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const TmError& e) {
        ShowException(e.text());
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        // Nothing the program throws, but whatever it is must not unwind through Qt.
        qCCritical(lcForms) << "a handler ended with something that is no exception";
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}
