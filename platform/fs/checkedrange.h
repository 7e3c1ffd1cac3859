#pragma once

#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"

#include <cstdint>
#include <optional>
#include <string>

// A stretch of a file's bytes read only while the file is the one recorded:
// the same inode, size and modification time when it is opened, and the same
// size, modification and change time when the reading is over, so that bytes
// read while another program wrote to the file are never taken for its own.
namespace zentrio::fs {

class CheckedRange {
public:
    // Opens `path` for [begin, end); not valid() when it cannot be opened, is
    // no longer the file `expected` was taken of, or is shorter than `end`.
    CheckedRange(const std::string& path, std::int64_t begin, std::int64_t end, const FileIdentity& expected);

    bool valid() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    std::int64_t begin() const { return m_begin; }
    std::int64_t end() const { return m_end; }

    // Exactly `count` bytes from `at` into `buffer`.
    bool read(char* buffer, std::size_t count, std::int64_t at) const;

    // True when the file's size, modification and change time are still
    // those it had when it was opened.
    bool unchanged() const;

private:
    Fd m_fd;
    std::int64_t m_begin = 0;
    std::int64_t m_end = 0;
    struct Stamp {
        std::int64_t size = 0, modified = 0, changed = 0;
        bool operator==(const Stamp&) const = default;
    };
    static std::optional<Stamp> stampOf(int fd);
    std::optional<Stamp> m_opened;
};

} // namespace zentrio::fs
