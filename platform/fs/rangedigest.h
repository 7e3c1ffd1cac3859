#pragma once

#include "platform/fs/fsops.h"

#include <cstdint>
#include <optional>
#include <string>

// The digest (platform/fs/digest.h) of a stretch of a file's bytes, read in
// large blocks: the audio of a file whose copies are looked for.
namespace zentrio::fs {

// nullopt when the file cannot be read to `end`, or is no longer the file
// `expected` was taken of (another inode, size or modification time): its
// bytes would be another file's; nullopt too when it was written to while
// it was read (platform/fs/checkedrange.h).
std::optional<std::uint64_t> digestOfRange(
    const std::string& path, std::int64_t begin, std::int64_t end, const FileIdentity& expected);

} // namespace zentrio::fs
