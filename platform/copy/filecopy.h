#pragma once
// Copying a local file to a destination on a share, and removing it again.
//
// A destination is one of
//   \\server\share\dir\file   written through libsmbclient as smb://server/share/dir/file;
//   //server/share/dir/file   the same ("/" and "\" both separate the parts of a UNC path)
//   smb://server/share/file   used as it stands
//   /mnt/share/dir/file       a mounted share: copied by the kernel and flushed to the share
// Everything else (a bare "\\", "\\server" without a share, relative paths) is refused.
//
// Failures are results, never exceptions: the caller logs them as a failed measurement. The
// reason text is for diagnostics only.
//
// SMB credentials follow the habits of Samba's own client: the user name from USER (a value
// "user%password" carries the password too, "DOMAIN\user" the workgroup), the password from
// PASSWD, a guest or anonymous session without them; Kerberos when the default credential
// cache holds a ticket; the user's own client configuration (~/.smb/smb.conf, else
// /etc/samba/smb.conf) applies.
//
// Slow, stalled and vanishing servers: the writes are sized to the link (writesize.h), so a
// copy over a slow link is measured however long it takes, and fails only when the server
// acknowledges nothing for kSmbTimeoutMs. When a copy fails because the server did not answer
// or dropped the connection, its connections are cut at once and the delete that follows
// does not wait for it again, so a dead server holds the caller for one time-out in all. The
// partial file such a copy leaves is removed by a later delete on that server once it answers
// again; until then the reasons say that it is there.
//
// A read-only file on a POSIX destination is neither replaced nor removed.
//
// Threads: libsmbclient is not thread-safe. The SMB calls share one context that is created on
// first use and belongs to the thread that created it; a call from any other thread fails with
// a reason and touches nothing. The program makes all copies on its copy thread (copythread.h).

#include <QString>

namespace filecopy {

// Bound of every wait for an SMB server: connecting, and each request.
constexpr int kSmbTimeoutMs = 10000;

enum class DestinationKind
{
    Invalid,
    Unc,    // \\server\share\...
    SmbUrl, // smb://...
    Posix,  // /...
};

struct Destination
{
    DestinationKind kind = DestinationKind::Invalid;
    // The smb:// URL (Unc, SmbUrl) or the POSIX path (Posix).
    QString target;
    // Why an invalid destination cannot be used.
    QString reason;
};

// Sorts a destination file name into one of the kinds above. A UNC path needs a server, a
// share and a file name below it; both "\" and "/" separate its parts, empty parts are skipped.
// It begins with exactly two separators; "/" alone or three and more begin a POSIX path.
Destination classifyDestination(const QString& destination);

// \\server\share\dir\file -> smb://server/share/dir/file with every part percent-encoded;
// an empty string when the text is not a UNC path with server, share and at least one more part.
QString uncToSmbUrl(const QString& unc);

// The folder text with the separator that a file name is appended after: "\" unless the text
// begins with "/" or is an smb:// URL, which take "/". Text that already ends with it is returned
// as it is; an empty text becomes "\".
QString withTrailingSeparator(const QString& folder);

// Copies localSource to destination, replacing a file of that name. Returns only when the data
// has reached the share (written and acknowledged by the SMB server, or fsync'ed on a mounted
// share), so a clock read around the call times the whole transfer.
bool copyToDestination(const QString& localSource, const QString& destination,
                       QString* reason = nullptr);

// Removes the destination file.
bool deleteDestination(const QString& destination, QString* reason = nullptr);

// Credentials for an SMB session, taken from the environment as Samba's client does.
struct SmbCredentials
{
    QString workgroup; // empty: the configured workgroup
    QString user;      // empty: guest or anonymous
    QString password;
};
SmbCredentials credentialsFromEnvironment(const QString& userVariable,
                                          const QString& passwordVariable);

// True when libkrb5's default credential cache (KRB5CCNAME, else the configuration's
// default_ccache_name, else the built-in default; of any type) holds a ticket that has not
// expired.
bool kerberosTicketPresent();
// The full name of that cache ("FILE:/tmp/krb5cc_1000", "KEYRING:persistent:1000:1", ...);
// empty when libkrb5 names none.
QString defaultCredentialCache();

// libsmbclient's debug level (0 by default, or TALLOWMERE_SMB_DEBUG); its output always goes
// to stderr. Applies to the live context too.
void setSmbDebugLevel(int level);

// Closes every SMB connection and frees the context; the next SMB call starts afresh and reads
// the credentials again. Only from the thread that owns the context; false otherwise.
bool resetSmbSession();

} // namespace filecopy
