#pragma once
// The built program run as the headless prober, as a service would run it: no display, its
// configuration in a temporary folder that also takes its logs.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <functional>
#include <sys/types.h>

class ProberProcess
{
public:
    ProberProcess()
    {
        m_dir.setAutoRemove(true);
        m_process.setProgram(QStringLiteral(TM_QUILLNET));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        m_process.setProcessEnvironment(env);
    }
    ~ProberProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString folder() const { return m_dir.path() + u'/'; }
    QString configFile() const { return folder() + QStringLiteral("prober.ini"); }

    // Writes the configuration ("@FOLDER@" stands for folder()) and starts the program with it.
    bool start(const QByteArray& ini, const QStringList& extra = {})
    {
        QFile f(configFile());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        QByteArray text = ini;
        f.write(text.replace("@FOLDER@", folder().toUtf8()));
        f.close();
        m_process.setArguments(
            QStringList{QStringLiteral("--headless"), QStringLiteral("--config"), configFile()} +
            extra);
        m_process.start();
        return m_process.waitForStarted(10000);
    }

    // Waits until the program has said what it runs (its first line on stderr), or has ended.
    bool waitUntilRunning(int timeoutMs = 10000)
    {
        return waitFor([this] { return stderrText().contains("every"); }, timeoutMs);
    }

    bool waitFor(const std::function<bool()>& done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (m_process.state() == QProcess::NotRunning || clock.elapsed() > timeoutMs)
                return done();
            m_process.waitForReadyRead(50);
            QThread::msleep(20);
        }
        return true;
    }

    pid_t pid() const { return pid_t(m_process.processId()); }
    void signal(int sig) { ::kill(pid(), sig); }
    bool waitForExit(int timeoutMs) { return m_process.waitForFinished(timeoutMs); }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }
    bool normalExit() const { return m_process.exitStatus() == QProcess::NormalExit; }

    QByteArray stderrText()
    {
        m_err += m_process.readAllStandardError();
        return m_err;
    }

    QByteArray fileBytes(const QString& name) const
    {
        QFile f(folder() + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Lines of a log the prober wrote; complete is false when the file does not end with CR LF
    // or holds a line ended otherwise.
    QStringList logLines(const QString& name, bool* complete = nullptr) const
    {
        const QByteArray data = fileBytes(name);
        if (complete)
            *complete =
                data.isEmpty() || (data.endsWith("\r\n") && data.count('\n') == data.count("\r\n"));
        QStringList lines = QString::fromUtf8(data).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_err;
};
