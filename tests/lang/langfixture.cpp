#include "langfixture.h"

#include "platform/application.h"
#include "platform/programdir.h"
#include "platform/resources.h"
#include "platform/shell.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
const char* const kEnvironment[] = {"LC_ALL", "LC_MESSAGES", "LANG", "PATH"};
}

void LangTest::SetUp()
{
    ASSERT_TRUE(m_data.isValid() && m_program.isValid() && m_bin.isValid());
    for (const char* var : kEnvironment) {
        if (qEnvironmentVariableIsSet(var))
            m_savedEnv.insert(var, qgetenv(var));
    }
    programdir::setDataFolderOverride(m_data.path());
    pretendProgram(QStringLiteral("quillnet"));
    setLocale("de_DE.UTF-8");
    testapp::clearRecorded();
    TApplication::instance()->clearTerminated();
}

void LangTest::TearDown()
{
    m_form2.reset();
    m_form1.reset();
    resources::restoreBuiltIn();
    programdir::setProgramFileOverride(QString());
    programdir::setDataFolderOverride(QString());
    for (const char* var : kEnvironment) {
        if (m_savedEnv.contains(var))
            qputenv(var, m_savedEnv.value(var));
        else
            qunsetenv(var);
    }
}

void LangTest::setLocale(const QByteArray& name)
{
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANG");
    if (name.isEmpty())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", name);
}

void LangTest::pretendProgram(const QString& name)
{
    programdir::setProgramFileOverride(QDir(m_program.path()).filePath(name));
}

void LangTest::placeModule(const QString& name)
{
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TM_ENGLISH_MODULE), QDir(m_program.path()).filePath(name)))
        << name.toStdString();
}

void LangTest::placeFile(const QString& name, const QByteArray& data)
{
    QFile f(QDir(m_program.path()).filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

bool LangTest::buildModule(const QString& name, const QMap<QString, QByteArray>& entries)
{
    QTemporaryDir work;
    QByteArray qrc = "<RCC><qresource prefix=\"/\">";
    int n = 0;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QString file = work.filePath(QStringLiteral("entry%1").arg(n++));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(it.value());
        qrc += "<file alias=\"" + it.key().toUtf8() + "\">" + file.toUtf8() + "</file>";
    }
    qrc += "</qresource></RCC>";
    QFile q(work.filePath(QStringLiteral("module.qrc")));
    if (!q.open(QIODevice::WriteOnly))
        return false;
    q.write(qrc);
    q.close();
    QProcess rcc;
    rcc.start(QStringLiteral(TM_RCC),
              {QStringLiteral("--binary"), QStringLiteral("--no-compress"), QStringLiteral("-o"),
               QDir(m_program.path()).filePath(name), q.fileName()});
    return rcc.waitForFinished(30000) && rcc.exitStatus() == QProcess::NormalExit &&
           rcc.exitCode() == 0;
}

TForm1& LangTest::form1()
{
    if (!m_form1) {
        m_form1 = std::make_unique<TForm1>();
        m_form1->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_form1.get()));
    }
    return *m_form1;
}

TForm2& LangTest::form2()
{
    if (!m_form2)
        m_form2 = std::make_unique<TForm2>();
    return *m_form2;
}

void LangTest::startUp(const QByteArray& locale)
{
    form1();
    setLocale(locale);
    languageStartupStep();
}

static QStringList recordedOf(const char* kind)
{
    QStringList texts;
    for (const testapp::Recorded& r : testapp::recorded()) {
        if (r.kind == QLatin1String(kind))
            texts += r.text;
    }
    return texts;
}

QStringList LangTest::messages()
{
    return recordedOf("message");
}

QStringList LangTest::errors()
{
    return recordedOf("error");
}

void LangTest::fakeXdgOpen(int status, bool gated)
{
    const QString script = m_bin.filePath(QStringLiteral("xdg-open"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // A gated one waits until the test lets it go, like a handler that is slow to start.
    const QString gate = gated ? QStringLiteral("while [ ! -e '%1' ]; do /bin/sleep 0.02; done\n")
                                     .arg(m_bin.filePath(QStringLiteral("gate")))
                               : QString();
    f.write(QStringLiteral("#!/bin/sh\n%1printf '%s\\n' \"$1\" >> '%2'\nexit %3\n")
                .arg(gate, m_bin.filePath(QStringLiteral("opened.txt")))
                .arg(status)
                .toUtf8());
    f.close();
    ASSERT_TRUE(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(m_bin.path()));
}

void LangTest::releaseXdgOpen()
{
    QFile gate(m_bin.filePath(QStringLiteral("gate")));
    ASSERT_TRUE(gate.open(QIODevice::WriteOnly));
}

bool LangTest::waitForOpens()
{
    return QTest::qWaitFor([] { return shell::pendingOpens() == 0; }, 20000);
}

void LangTest::noXdgOpen()
{
    QFile::remove(m_bin.filePath(QStringLiteral("xdg-open")));
    qputenv("PATH", QFile::encodeName(m_bin.path()));
}

QStringList LangTest::opened() const
{
    QFile f(m_bin.filePath(QStringLiteral("opened.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    lines.removeAll(QString());
    return lines;
}

QByteArray LangTest::builtInFile(const QString& relative)
{
    QFile f(QStringLiteral(TM_RESOURCES_DIR "/") + relative);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray LangTest::englishEntry(const QString& alias)
{
    if (alias == QLatin1String("TForm1"))
        return builtInFile(QStringLiteral("en/TForm1.ui"));
    if (alias == QLatin1String("TForm2"))
        return builtInFile(QStringLiteral("TForm2.ui"));
    return builtInFile(QStringLiteral("en/strings.en.txt"));
}
