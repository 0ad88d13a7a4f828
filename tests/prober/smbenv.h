#pragma once
// The Samba test bed's description (the file tests/smb/smbbed.sh writes), and a rate limit on
// its link that is lifted again when the test ends.

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace smbenv {

struct Description
{
    QHash<QString, QString> values;
    QString envFile;
    QString problem; // empty when the bed is up
    QString value(const char* key) const { return values.value(QString::fromLatin1(key)); }
    QString uncFolder() const // the guest-writable share, as written in a prober's file
    {
        return QStringLiteral("\\\\%1\\%2\\").arg(value("SERVER_ADDR"), value("WRITABLE_SHARE"));
    }
};

inline Description read()
{
    Description d;
    d.envFile = qEnvironmentVariable("TM_SMBBED_ENV");
    QFile f(d.envFile);
    if (d.envFile.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        d.problem = QStringLiteral("no Samba bed described (TM_SMBBED_ENV='%1'): run through ctest")
                        .arg(d.envFile);
        return d;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        QString v = QString::fromUtf8(line.mid(eq + 1));
        if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
            v = v.mid(1, v.size() - 2);
        d.values.insert(QString::fromUtf8(line.left(eq)), v);
    }
    if (!d.value("UNAVAILABLE").isEmpty())
        d.problem = d.value("UNAVAILABLE");
    return d;
}

inline bool run(const QString& program, const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok =
        p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

// Limits the link both ways (smbbed.sh shape) for the life of the object.
class Shaped
{
public:
    Shaped(const Description& bed, const QString& rate) : m_bed(bed)
    {
        m_ok =
            run(QStringLiteral("bash"),
                {m_bed.value("SCRIPT"), QStringLiteral("shape"), m_bed.envFile, rate}, &m_output);
    }
    ~Shaped()
    {
        const std::pair<const char*, const char*> sides[] = {{"SERVER_NS", "SERVER_IF"},
                                                             {"CLIENT_NS", "CLIENT_IF"}};
        for (const auto& [ns, dev] : sides)
            run(QStringLiteral("ip"),
                QStringList{QStringLiteral("netns"), QStringLiteral("exec"), m_bed.value(ns),
                            QStringLiteral("tc"), QStringLiteral("qdisc"), QStringLiteral("del"),
                            QStringLiteral("dev"), m_bed.value(dev), QStringLiteral("root")});
    }
    bool ok() const { return m_ok; }
    QString output() const { return m_output; }

private:
    const Description& m_bed;
    bool m_ok = false;
    QString m_output;
};

} // namespace smbenv
