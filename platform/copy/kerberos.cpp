// Whether the user holds a Kerberos ticket, asked of libkrb5 itself: its default credential
// cache is whatever KRB5CCNAME, the configuration's default_ccache_name or the built-in
// default names, of any type (FILE, DIR, KEYRING, KCM).

#include "platform/copy/filecopy.h"

#include <krb5.h>

#include <ctime>

namespace filecopy {

namespace {

class Krb5
{
public:
    Krb5() { m_ok = krb5_init_context(&m_context) == 0; }
    ~Krb5()
    {
        if (m_cache)
            krb5_cc_close(m_context, m_cache);
        if (m_ok)
            krb5_free_context(m_context);
    }
    Krb5(const Krb5&) = delete;
    Krb5& operator=(const Krb5&) = delete;

    bool openDefault() { return m_ok && krb5_cc_default(m_context, &m_cache) == 0; }

    QString cacheName() const
    {
        char* name = nullptr;
        if (krb5_cc_get_full_name(m_context, m_cache, &name) != 0)
            return {};
        const QString result = QString::fromUtf8(name);
        krb5_free_string(m_context, name);
        return result;
    }

    // A cache that has a principal and at least one ticket that has not expired.
    bool holdsTicket() const
    {
        krb5_principal principal = nullptr;
        if (krb5_cc_get_principal(m_context, m_cache, &principal) != 0)
            return false;
        krb5_free_principal(m_context, principal);
        krb5_cc_cursor cursor = nullptr;
        if (krb5_cc_start_seq_get(m_context, m_cache, &cursor) != 0)
            return false;
        const krb5_timestamp now = krb5_timestamp(std::time(nullptr));
        bool found = false;
        krb5_creds creds;
        while (!found && krb5_cc_next_cred(m_context, m_cache, &cursor, &creds) == 0) {
            // Configuration entries of the cache are not tickets.
            found = !krb5_is_config_principal(m_context, creds.server) && creds.times.endtime > now;
            krb5_free_cred_contents(m_context, &creds);
        }
        krb5_cc_end_seq_get(m_context, m_cache, &cursor);
        return found;
    }

private:
    krb5_context m_context = nullptr;
    krb5_ccache m_cache = nullptr;
    bool m_ok = false;
};

} // namespace

QString defaultCredentialCache()
{
    Krb5 krb5;
    return krb5.openDefault() ? krb5.cacheName() : QString();
}

bool kerberosTicketPresent()
{
    Krb5 krb5;
    return krb5.openDefault() && krb5.holdsTicket();
}

} // namespace filecopy
