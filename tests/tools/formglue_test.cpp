// The glue generator refuses descriptions it cannot turn into members and handlers, naming the
// file, the line and the object.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct GlueRun
{
    int status;
    QString error;
};

GlueRun generate(const QByteArray& description)
{
    QTemporaryDir dir;
    const QString ui = dir.filePath(QStringLiteral("TForm1.ui"));
    QFile f(ui);
    if (!f.open(QIODevice::WriteOnly) || f.write(description) != description.size())
        return {-1, QStringLiteral("cannot write %1").arg(ui)};
    f.close();
    QProcess p;
    p.start(QStringLiteral(TM_FORMGLUE), {ui, QStringLiteral("app/vamtp.h"), dir.path()});
    p.waitForFinished();
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
}

QByteArray realDescription()
{
    QFile f(QStringLiteral(TM_TFORM1_UI));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Mutation
{
    const char* what;
    const char* from;
    const char* to;
    const char* expected; // part of the message
};

} // namespace

TEST(FormGlue, TheRealDescriptionGenerates)
{
    const GlueRun run = generate(realDescription());
    EXPECT_EQ(run.status, 0) << run.error.toStdString();
}

TEST(FormGlue, MutatedDescriptionsAreRefusedByName)
{
    const QByteArray real = realDescription();
    ASSERT_FALSE(real.isEmpty());
    const Mutation cases[] = {
        {"a name given twice", "name=\"Label17\"", "name=\"Label18\"",
         "object 'Label18' is named twice"},
        {"a name no member can have", "name=\"Label17\"", "name=\"Label 17\"",
         "'Label 17' is no name"},
        {"an own class without header", "<customwidget><class>TMemo</class>",
         "<customwidget><class>TMemo2</class>", "class 'TMemo' needs a <customwidget>"},
        {"a handler name with a blank", "<slot>doPingClick()</slot>", "<slot>do PingClick()</slot>",
         "no handler name"},
        {"class and top object differ", "<class>TForm1</class>", "<class>TForm3</class>", "differ"},
        {"broken XML", "</connections>", "</connection>", "TForm1.ui:"},
    };
    for (const Mutation& m : cases) {
        QByteArray mutated = real;
        const int at = mutated.indexOf(m.from);
        ASSERT_GE(at, 0) << m.what;
        mutated.replace(at, int(qstrlen(m.from)), m.to);
        const GlueRun run = generate(mutated);
        EXPECT_EQ(run.status, 1) << m.what;
        EXPECT_TRUE(run.error.contains(QLatin1String(m.expected)))
            << m.what << ": " << run.error.toStdString();
        EXPECT_TRUE(run.error.contains(QLatin1String("TForm1.ui"))) << m.what;
    }
}
