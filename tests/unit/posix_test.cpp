#include "platform/posix.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

int openNull()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

} // namespace

TEST(PosixFd, ClosesWhatItOwnsOnceAndHandsOnWhatItReleases)
{
    const int first = openNull();
    const int second = openNull();
    int released = -1;
    {
        posix::Fd owner(first);
        EXPECT_TRUE(owner.valid());
        owner.reset(second);
        EXPECT_FALSE(isOpen(first)); // replaced: closed at once
        EXPECT_TRUE(isOpen(second));
        released = owner.release();
        EXPECT_FALSE(owner.valid());
    }
    EXPECT_EQ(released, second);
    EXPECT_TRUE(isOpen(second)); // released: the new owner closes it
    ::close(second);

    const int third = openNull();
    {
        posix::Fd owner(third);
    }
    EXPECT_FALSE(isOpen(third));
    posix::Fd none; // nothing to close, also after a failed open
    none.reset(-1);
    EXPECT_FALSE(none.valid());
}

TEST(PosixErrorText, TheSystemsTextOfTheError)
{
    EXPECT_FALSE(posix::errorText(ENOENT).isEmpty());
    EXPECT_NE(posix::errorText(ENOENT), posix::errorText(EACCES));
}
