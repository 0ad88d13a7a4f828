#include "platform/shell.h"

#include "platform/application.h"
#include "platform/errors.h"
#include "platform/posix.h"
#include "platform/strings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace shell {

namespace {

const char* const kPendingName = "tm_shell_open";

int statusCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return kCannotStart;
}

// One xdg-open still running. The kernel signals its end on a process file descriptor; a
// kernel without those is asked every 50 ms instead. Lives under the application object; an
// open still running when the application ends is left to end by itself.
class PendingOpen : public QObject
{
public:
    PendingOpen(pid_t pid, const QString& shown)
        : QObject(QCoreApplication::instance()), m_pid(pid), m_shown(shown)
    {
        setObjectName(QString::fromLatin1(kPendingName));
        m_fd.reset(int(::syscall(SYS_pidfd_open, pid, 0)));
        if (m_fd.valid()) {
            auto* notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, &PendingOpen::check);
        } else {
            auto* timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, &PendingOpen::check);
            timer->start(50);
        }
    }

private:
    void check()
    {
        if (m_done)
            return;
        int status = 0;
        pid_t done = 0;
        do {
            done = ::waitpid(m_pid, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        if (done == 0)
            return;
        // Done: nothing may check again while the error box below is open.
        m_done = true;
        setObjectName(QString());
        deleteLater();
        const int code = done == m_pid ? statusCode(status) : kCannotStart;
        if (code != 0) {
            if (TApplication* app = TApplication::instance())
                app->ShowException(failureText(m_shown, code));
        }
    }

    pid_t m_pid;
    QString m_shown;
    posix::Fd m_fd;
    bool m_done = false;
};

} // namespace

QString failureText(const QString& shown, int code)
{
    return StringTable::fill(QStringLiteral("ShellExecute \"%s\" Failed with Error: %d"),
                             {shown, QString::number(code)});
}

void open(const QString& address, const QString& shown)
{
    const QByteArray program = "xdg-open";
    const QByteArray argument = QFile::encodeName(address);
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(argument.constData()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.constData(), nullptr, nullptr, argv, environ) != 0)
        throw TmError(failureText(shown, kCannotStart));
    if (QCoreApplication::instance())
        new PendingOpen(pid, shown);
}

int pendingOpens()
{
    if (!QCoreApplication::instance())
        return 0;
    return int(
        QCoreApplication::instance()
            ->findChildren<QObject*>(QString::fromLatin1(kPendingName), Qt::FindDirectChildrenOnly)
            .size());
}

} // namespace shell
