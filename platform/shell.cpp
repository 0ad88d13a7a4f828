#include "platform/shell.h"

#include "platform/errors.h"
#include "platform/strings.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace shell {

namespace {

// xdg-open returns once the handler has the address; a handler that takes longer than this
// is left to finish on its own.
constexpr auto kHandOverTime = std::chrono::seconds(5);

int statusCode(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return kCannotStart;
}

} // namespace

int open(const QString& address)
{
    const QByteArray program = "xdg-open";
    const QByteArray argument = QFile::encodeName(address);
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(argument.constData()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.constData(), nullptr, nullptr, argv, environ) != 0)
        return kCannotStart;
    const auto deadline = std::chrono::steady_clock::now() + kHandOverTime;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return statusCode(status);
        if (done < 0 && errno != EINTR)
            return kCannotStart;
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // Still handing over: count it as started and collect its status whenever it ends.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

void openOrThrow(const QString& address, const QString& shown)
{
    const int code = open(address);
    if (code != 0)
        throw TmError(StringTable::fill(QStringLiteral("ShellExecute \"%s\" Failed with Error: %d"),
                                        {shown, QString::number(code)}));
}

} // namespace shell
