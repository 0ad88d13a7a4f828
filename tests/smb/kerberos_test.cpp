// The Kerberos ticket look-up against real credential caches written with libkrb5: the cache
// that counts is libkrb5's default, of whatever type, named by KRB5CCNAME or the configuration.

#include "platform/copy/filecopy.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <krb5.h>

#include <ctime>
#include <optional>
#include <unistd.h>

using filecopy::defaultCredentialCache;
using filecopy::kerberosTicketPresent;

namespace {

// A configuration of its own whose default cache is `cacheName`, and no KRB5CCNAME; both are
// restored afterwards.
class KrbEnvironment
{
public:
    KrbEnvironment(const QTemporaryDir& dir, const QString& cacheName)
        : m_config(qgetenv("KRB5_CONFIG")), m_ccname(qgetenv("KRB5CCNAME")),
          m_hadConfig(qEnvironmentVariableIsSet("KRB5_CONFIG")),
          m_hadCcname(qEnvironmentVariableIsSet("KRB5CCNAME"))
    {
        const QString path = dir.filePath(QStringLiteral("krb5.conf"));
        QFile conf(path);
        if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            conf.write(QStringLiteral("[libdefaults]\n    default_realm = TEST.INVALID\n"
                                      "    default_ccache_name = %1\n")
                           .arg(cacheName)
                           .toUtf8());
        qputenv("KRB5_CONFIG", QFile::encodeName(path));
        qunsetenv("KRB5CCNAME");
    }
    ~KrbEnvironment()
    {
        restore("KRB5_CONFIG", m_hadConfig, m_config);
        restore("KRB5CCNAME", m_hadCcname, m_ccname);
    }

private:
    static void restore(const char* name, bool had, const QByteArray& value)
    {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    QByteArray m_config;
    QByteArray m_ccname;
    bool m_hadConfig;
    bool m_hadCcname;
};

enum class Content
{
    Nothing,   // no cache at all
    Principal, // initialised, no ticket
    Ticket,    // a ticket valid for an hour
    OldTicket, // a ticket that expired an hour ago
};

// Writes the cache as a login would; false when this machine cannot hold that cache type.
bool writeCache(const QString& name, Content content)
{
    if (content == Content::Nothing)
        return true;
    krb5_context context = nullptr;
    if (krb5_init_context(&context) != 0)
        return false;
    krb5_ccache cache = nullptr;
    krb5_principal client = nullptr;
    krb5_creds creds{};
    bool ok = krb5_cc_resolve(context, name.toUtf8().constData(), &cache) == 0 &&
              krb5_parse_name(context, "tm@TEST.INVALID", &client) == 0 &&
              krb5_cc_initialize(context, cache, client) == 0;
    if (ok && content != Content::Principal) {
        const krb5_timestamp now = krb5_timestamp(std::time(nullptr));
        creds.client = client;
        ok = krb5_parse_name(context, "krbtgt/TEST.INVALID@TEST.INVALID", &creds.server) == 0;
        creds.times.authtime = now - 7200;
        creds.times.starttime = now - 7200;
        creds.times.endtime = content == Content::Ticket ? now + 3600 : now - 3600;
        static char ticket[] = "not a real ticket";
        creds.ticket.data = ticket;
        creds.ticket.length = sizeof ticket - 1;
        ok = ok && krb5_cc_store_cred(context, cache, &creds) == 0;
        if (creds.server)
            krb5_free_principal(context, creds.server);
    }
    if (client)
        krb5_free_principal(context, client);
    if (cache)
        krb5_cc_close(context, cache);
    krb5_free_context(context);
    return ok;
}

void destroyCache(const QString& name)
{
    krb5_context context = nullptr;
    if (krb5_init_context(&context) != 0)
        return;
    krb5_ccache cache = nullptr;
    if (krb5_cc_resolve(context, name.toUtf8().constData(), &cache) == 0)
        krb5_cc_destroy(context, cache);
    krb5_free_context(context);
}

} // namespace

TEST(Kerberos, TheDefaultCacheOfAnyTypeCounts)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = QStringLiteral("FILE:") + dir.filePath(QStringLiteral("cc"));
    const QString keyring = QStringLiteral("KEYRING:session:tm-test-%1").arg(::getpid());
    struct Case
    {
        QString cache;
        Content content;
        bool present;
    };
    const Case cases[] = {
        {file, Content::Nothing, false},    {file, Content::Principal, false},
        {file, Content::OldTicket, false},  {file, Content::Ticket, true},
        {keyring, Content::Nothing, false}, {keyring, Content::Ticket, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cache.toStdString() + " content " + std::to_string(int(c.content)));
        KrbEnvironment env(dir, c.cache);
        destroyCache(c.cache);
        if (!writeCache(c.cache, c.content)) {
            // Containers often refuse kernel keyrings; the file cache always works.
            ASSERT_TRUE(c.cache.startsWith(QLatin1String("KEYRING:"))) << "cannot write the cache";
            std::printf("skipped: this machine cannot hold %s\n", qPrintable(c.cache));
            continue;
        }
        // A keyring cache is a collection: its full name adds the member in use.
        EXPECT_TRUE(defaultCredentialCache().startsWith(c.cache))
            << defaultCredentialCache().toStdString();
        EXPECT_EQ(kerberosTicketPresent(), c.present);
        destroyCache(c.cache);
    }
}

TEST(Kerberos, TheVariableNamesTheCacheBeforeTheConfiguration)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString configured = QStringLiteral("FILE:") + dir.filePath(QStringLiteral("conf-cc"));
    const QString named = QStringLiteral("FILE:") + dir.filePath(QStringLiteral("env-cc"));
    KrbEnvironment env(dir, configured);
    ASSERT_TRUE(writeCache(configured, Content::Ticket));

    qputenv("KRB5CCNAME", named.toUtf8());
    EXPECT_EQ(defaultCredentialCache(), named);
    EXPECT_FALSE(kerberosTicketPresent()) << "the configured cache was taken instead";
    ASSERT_TRUE(writeCache(named, Content::Ticket));
    EXPECT_TRUE(kerberosTicketPresent());

    // A memory cache is private to a process: a fresh one holds nothing.
    qputenv("KRB5CCNAME", "MEMORY:tm-test");
    EXPECT_FALSE(kerberosTicketPresent());
    qunsetenv("KRB5CCNAME");
    EXPECT_TRUE(kerberosTicketPresent());
}
