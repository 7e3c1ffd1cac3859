#include "platform/fs/checkedrange.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace zentrio::fs {

CheckedRange::CheckedRange(const std::string& path, std::int64_t begin, std::int64_t end, const FileIdentity& expected)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    , m_begin(begin)
    , m_end(end)
{
    if (!m_fd.valid())
        return;
    m_opened = stampOf(m_fd.get());
    const auto found = identityOfOpen(m_fd.get());
    const bool same = found && m_opened && found->device == expected.device && found->inode == expected.inode
        && found->size == expected.size && found->modified == expected.modified && m_opened->size == found->size;
    if (!same || begin < 0 || begin > end || end > found->size)
        m_fd = Fd(-1);
}

bool CheckedRange::read(char* buffer, std::size_t count, std::int64_t at) const
{
    return readFully(m_fd.get(), buffer, count, static_cast<off_t>(at));
}

bool CheckedRange::unchanged() const { return valid() && m_opened && stampOf(m_fd.get()) == m_opened; }

std::optional<CheckedRange::Stamp> CheckedRange::stampOf(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    const auto nanoseconds = [](const timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return Stamp { std::int64_t(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim) };
}

} // namespace zentrio::fs
