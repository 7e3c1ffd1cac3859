#include "platform/fs/filelock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zentrio::fs {

FileLock::FileLock(const std::string& path, Wait wait)
    : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
{
    if (m_fd < 0)
        return;
    int result = 0;
    do
        result = ::flock(m_fd, wait == Wait::Yes ? LOCK_EX : LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileLock::FileLock(const std::string& path, const std::function<bool()>& keepWaiting)
    : FileLock(path, keepWaiting ? Wait::No : Wait::Yes)
{
    if (held() || !keepWaiting)
        return;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    while (fd >= 0 && keepWaiting()) {
        if (tryLock(fd)) {
            m_fd = fd;
            return;
        }
        ::usleep(100000);
    }
    if (fd >= 0)
        ::close(fd);
}

bool FileLock::tryLock(int fd) { return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0; }

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the lock
}

} // namespace zentrio::fs
