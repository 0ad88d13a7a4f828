#pragma once
// The SMB client of the program: one libsmbclient context, what it knows about servers that
// stopped answering, and the partial files that such servers still hold.
//
// libsmbclient keeps process-wide state and is not thread-safe, so the context belongs to the
// thread that first needs it and every call checks that; no other thread may ever use it.

#include <QList>
#include <QSet>
#include <QString>

#include <libsmbclient.h>

#include <atomic>
#include <thread>

namespace filecopy {

// An errno that says the server did not answer in time, could not be reached, or dropped the
// connection: waiting for it again would only wait again.
bool isNoAnswer(int error);

// "server" or "server:port" of an smb:// URL, lower case; empty when the URL names none.
QString serverOfUrl(const QString& url);
// The port an smb:// URL names, 0 when it names none (the client tries 445, then 139).
int smbPort(const QString& url);

// Shuts down the SMB connections of this process (TCP sockets to the SMB ports, or to
// `port` when it is not 0), so that a call blocked on one returns at once. Returns how many.
int shutDownSmbSockets(int port = 0);

class SmbSession
{
public:
    static SmbSession& instance();

    // True on the thread that owns the client (the first to ask); a reason otherwise.
    bool ownedHere(QString* reason) { return onOwnerThread(reason); }

    // The context, created on first use; null with a reason on a foreign thread or failure.
    SMBCCTX* context(QString* reason);
    // Frees the context; the next call starts afresh. False on a foreign thread.
    bool reset(QString* reason);
    // The server stopped answering: its connections are cut (a blocked library call would
    // wait out the time-out once more for each request still to be sent: the close, the tree
    // disconnect) and the context is freed with every file it had open.
    void abandon(int port);
    void applyDebugLevel(int level);

    // A copy to `server` failed for want of an answer: the delete that follows does not wait
    // for it again. take...() answers whether that is so and forgets it.
    void markUnanswered(const QString& server);
    void clearUnanswered(const QString& server);
    bool takeUnanswered(const QString& server);

    // Files that a copy began and could not finish or remove, by URL.
    struct Partial
    {
        QString url;
        QString server;
        qint64 bytes = 0;
    };
    void addPartial(const QString& url, qint64 bytes);
    void forgetPartial(const QString& url);
    bool hasPartial(const QString& url) const;
    QList<Partial> partialsOn(const QString& server) const;

private:
    bool onOwnerThread(QString* reason);

    std::atomic<std::thread::id> m_owner{};
    SMBCCTX* m_context = nullptr;
    QSet<QString> m_unanswered;
    QList<Partial> m_partials;
};

} // namespace filecopy
