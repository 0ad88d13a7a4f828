#include "platform/posix.h"

#include <cstring>
#include <unistd.h>

namespace posix {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

} // namespace posix
