#pragma once
// The Samba test bed as a test program sees it. The bed (smbbed.sh, started by the CTest
// fixture tm_smbbed) runs smbd in a namespace of its own; a test program linked with tm_smbbed
// moves itself into the bed's client namespace before main() runs, so every socket it opens
// reaches the bed and nothing else, and the machine's own namespace is never changed.

#include <QString>

#include <functional>

#include <unistd.h>

#include <gtest/gtest.h>

namespace smbbed {

struct Bed
{
    QString serverAddress; // smbd listens here, port 445
    QString absentAddress; // on the bed's link, nothing behind it (ARP goes unanswered)
    QString silentAddress; // routed to the server namespace, which drops it: never answers
    QString muteAddress;   // a listener on port 445 that accepts connections and never answers
    QString writableShare; // guest-writable
    QString readonlyShare; // guest, read only; holds "existing.txt"
    QString authShare;     // only authUser with authPassword
    QString authUser;
    QString authPassword;
    QString writableDir; // the local folders behind the shares, to check what arrived
    QString readonlyDir;
    QString authDir;
};

enum class State
{
    Up,         // joined, bed() is valid
    NotStarted, // not run through ctest: the fixture did not start a bed
    NotRoot,    // the fixture ran without root: no namespaces
    Broken,     // the bed should be up but is not (its description is missing or unusable)
};
State state();
// Why the bed is not up; empty when it is.
QString stateReason();
const Bed& bed();

// "\\<server>\<share>\" with a trailing backslash, ready for a file name.
QString uncFolder(const QString& share);

// Stop smbd (exactly the PID the bed started; its connection children end with it) and start
// it again, for tests of a server that goes away in the middle. Both wait until the server
// is gone or listening.
bool stopServer(QString* reason = nullptr);
bool startServer(QString* reason = nullptr);

// The link between client and server: "0.5mbit", "2mbit", "10mbit", "100mbit", "1gbit" or
// "off" (unlimited). stallLink() drops every packet both ways, freezeServer() stops smbd and
// its connection processes; resume() undoes both and gives the link its profile back.
bool shapeLink(const QString& profile, QString* reason = nullptr);
bool stallLink(QString* reason = nullptr);
bool freezeServer(QString* reason = nullptr);
bool resume(QString* reason = nullptr);

// Polls until the condition holds, on a thread that waits for the bed to do something; the
// bound (a minute) only keeps a broken bed from hanging the suite.
bool eventually(const std::function<bool()>& condition);

// Shapes the link for one scope; at its end the server and the link are back to normal,
// unlimited, also when the test fails.
class LinkScope
{
public:
    explicit LinkScope(const QString& profile);
    ~LinkScope();
    LinkScope(const LinkScope&) = delete;
    LinkScope& operator=(const LinkScope&) = delete;
    bool ok() const { return m_reason.isEmpty(); }
    const QString& reason() const { return m_reason; }

private:
    QString m_reason;
};

} // namespace smbbed

// Skips a test when the bed cannot exist here (not root); fails it when the bed should be up
// but is not, and whenever it is missing while the test runs as root (CI): a bed that did not
// come up must not pass as a run of skipped tests.
#define TM_REQUIRE_SMBBED()                                                                        \
    do {                                                                                           \
        const ::smbbed::State bedState_ = ::smbbed::state();                                       \
        if (bedState_ == ::smbbed::State::Broken ||                                                \
            (bedState_ != ::smbbed::State::Up && ::geteuid() == 0))                                \
            FAIL() << ::smbbed::stateReason().toStdString();                                       \
        if (bedState_ != ::smbbed::State::Up)                                                      \
            GTEST_SKIP() << ::smbbed::stateReason().toStdString();                                 \
    } while (false)
