#pragma once

#include <functional>
#include <string>

// An advisory lock (flock) that serialises Zentrio's own writers: two
// programs appending to one journal, or a start-up repair and a write whose
// crash copy is still in use.
namespace zentrio::fs {

class FileLock {
public:
    enum class Wait { Yes, No };
    // Locks the file at path, creating it (mode 0600) when it is missing.
    // With Wait::No a lock held elsewhere is not waited for: held() is false.
    explicit FileLock(const std::string& path, Wait wait = Wait::Yes);
    // Waits while `keepWaiting` (asked about ten times a second while the
    // lock is held elsewhere) says so.
    FileLock(const std::string& path, const std::function<bool()>& keepWaiting);
    // Locks an open descriptor (not closed by the lock).
    static bool tryLock(int fd);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    FileLock(FileLock&& other) noexcept
        : m_fd(other.m_fd)
    {
        other.m_fd = -1;
    }
    FileLock& operator=(FileLock&&) = delete;

    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace zentrio::fs
