#pragma once

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>

// Small helpers over POSIX descriptors that the file-system modules share.
namespace zentrio::fs {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(other.release()) { }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
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

// Calls `transfer` (a read(2)- or write(2)-like call given how many bytes
// are done) until all `size` bytes are moved, through EINTR; false when a
// call fails or moves nothing (the end of the file).
template <typename Transfer> bool transferAll(std::size_t size, Transfer transfer)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

inline bool readFully(int fd, char* buffer, std::size_t size, off_t offset)
{
    return transferAll(size, [&](std::size_t done) {
        return ::pread(fd, buffer + done, size - done, offset + static_cast<off_t>(done));
    });
}

inline bool writeFully(int fd, std::string_view data)
{
    return transferAll(data.size(), [&](std::size_t done) { return ::write(fd, data.data() + done, data.size() - done); });
}

// The whole of data at offset, in positioned writes.
inline bool pwriteFully(int fd, std::string_view data, off_t offset)
{
    return transferAll(data.size(), [&](std::size_t done) {
        return ::pwrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    });
}

} // namespace zentrio::fs
