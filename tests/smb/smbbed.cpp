#include "smbbed.h"

#include <QHash>
#include <QProcess>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace smbbed {

namespace {

struct Status
{
    State state = State::NotStarted;
    QString reason;
    QString envFile;
    QString script;
    Bed bed;
};

Status& status()
{
    static Status s;
    return s;
}

// The description is shell assignments; values are plain or in single quotes.
QHash<QString, QString> readDescription(const std::string& path, bool& ok)
{
    QHash<QString, QString> values;
    std::ifstream in(path);
    ok = bool(in);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        QString value = QString::fromStdString(line.substr(eq + 1));
        if (value.startsWith(u'\'') && value.endsWith(u'\'') && value.size() >= 2)
            value = value.mid(1, value.size() - 2);
        values.insert(QString::fromStdString(line.substr(0, eq)), value);
    }
    return values;
}

// Runs before main(), while the process has a single thread: setns() of the network
// namespace applies to the calling thread, and every thread started later inherits it.
void joinBed()
{
    Status& s = status();
    const char* envFile = std::getenv("TM_SMBBED_ENV");
    if (!envFile || !*envFile) {
        s.reason = QStringLiteral("The Samba test bed is not running: run these tests through "
                                  "ctest, whose fixture starts it");
        return;
    }
    s.envFile = QString::fromLocal8Bit(envFile);
    bool ok = false;
    const QHash<QString, QString> v = readDescription(envFile, ok);
    if (!ok) {
        s.state = State::Broken;
        s.reason = QStringLiteral("No bed description at %1: the fixture smbbed_start failed")
                       .arg(s.envFile);
        return;
    }
    if (v.contains(QStringLiteral("UNAVAILABLE"))) {
        s.state = State::NotRoot;
        s.reason = v.value(QStringLiteral("UNAVAILABLE"));
        return;
    }
    const QString ns = v.value(QStringLiteral("CLIENT_NS"));
    const QByteArray nsPath = ("/run/netns/" + ns).toLocal8Bit();
    const int fd = ::open(nsPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        s.state = State::Broken;
        s.reason = QStringLiteral("Cannot enter the bed's namespace %1: %2")
                       .arg(ns, QString::fromLocal8Bit(std::strerror(error)));
        return;
    }
    ::close(fd);
    s.script = v.value(QStringLiteral("SCRIPT"));
    Bed& b = s.bed;
    b.serverAddress = v.value(QStringLiteral("SERVER_ADDR"));
    b.absentAddress = v.value(QStringLiteral("ABSENT_ADDR"));
    b.silentAddress = v.value(QStringLiteral("SILENT_ADDR"));
    b.muteAddress = v.value(QStringLiteral("MUTE_ADDR"));
    b.writableShare = v.value(QStringLiteral("WRITABLE_SHARE"));
    b.readonlyShare = v.value(QStringLiteral("READONLY_SHARE"));
    b.authShare = v.value(QStringLiteral("AUTH_SHARE"));
    b.authUser = v.value(QStringLiteral("AUTH_USER"));
    b.authPassword = v.value(QStringLiteral("AUTH_PASSWORD"));
    b.writableDir = v.value(QStringLiteral("WRITABLE_DIR"));
    b.readonlyDir = v.value(QStringLiteral("READONLY_DIR"));
    b.authDir = v.value(QStringLiteral("AUTH_DIR"));
    s.state = State::Up;
}

const bool g_joined = (joinBed(), true);

bool runScript(const QString& command, QString* reason, const QStringList& arguments = {})
{
    Status& s = status();
    if (s.state != State::Up) {
        if (reason)
            *reason = s.reason;
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("bash"), QStringList{s.script, command, s.envFile} + arguments);
    const bool done = process.waitForFinished(60000);
    if (done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (!done)
        process.kill();
    if (reason)
        *reason = QStringLiteral("smbbed.sh %1 failed: %2")
                      .arg(command, QString::fromLocal8Bit(process.readAll()).trimmed());
    return false;
}

} // namespace

State state()
{
    return status().state;
}

QString stateReason()
{
    return status().state == State::Up ? QString() : status().reason;
}

const Bed& bed()
{
    return status().bed;
}

QString uncFolder(const QString& share)
{
    return QStringLiteral("\\\\%1\\%2\\").arg(bed().serverAddress, share);
}

bool stopServer(QString* reason)
{
    return runScript(QStringLiteral("server-stop"), reason);
}

bool startServer(QString* reason)
{
    return runScript(QStringLiteral("server-start"), reason);
}

bool shapeLink(const QString& profile, QString* reason)
{
    return runScript(QStringLiteral("shape"), reason, {profile});
}

bool stallLink(QString* reason)
{
    return runScript(QStringLiteral("stall"), reason);
}

bool freezeServer(QString* reason)
{
    return runScript(QStringLiteral("freeze"), reason);
}

bool resume(QString* reason)
{
    return runScript(QStringLiteral("resume"), reason);
}

bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 1200; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

LinkScope::LinkScope(const QString& profile)
{
    shapeLink(profile, &m_reason);
}

LinkScope::~LinkScope()
{
    QString reason;
    if (!resume(&reason) || !shapeLink(QStringLiteral("off"), &reason))
        ADD_FAILURE() << "the bed's link stays as it is: " << reason.toStdString();
}

} // namespace smbbed
