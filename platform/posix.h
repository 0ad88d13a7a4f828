#pragma once
// The pieces of the system interface that the text files, the copy and the echo engine share.

#include <QString>

namespace posix {

// The system's text for an errno value, in the locale's language.
QString errorText(int error);

// Owns a file descriptor and closes it when dropped. release() hands it on unclosed, to a
// close() whose result counts (some file systems report delayed write errors there) or to an
// owner of another kind.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(-1); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    void reset(int fd);
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

} // namespace posix
