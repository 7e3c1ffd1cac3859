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

inline bool readFully(int fd, char* buffer, std::size_t size, off_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Hands data to `write` (a write(2)-like call given the bytes still to go
// and how many are done) until all of it is written, through EINTR.
template <typename Write> bool writeAll(std::string_view data, Write write)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(data.data() + done, data.size() - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

inline bool writeFully(int fd, std::string_view data)
{
    return writeAll(data, [fd](const char* bytes, std::size_t count, std::size_t) { return ::write(fd, bytes, count); });
}

// The whole of data at offset, in positioned writes.
inline bool pwriteFully(int fd, std::string_view data, off_t offset)
{
    return writeAll(data, [fd, offset](const char* bytes, std::size_t count, std::size_t done) {
        return ::pwrite(fd, bytes, count, offset + static_cast<off_t>(done));
    });
}

} // namespace zentrio::fs
