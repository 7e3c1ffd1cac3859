#pragma once

#include "platform/fs/fsops.h"
#include "tags/read/audiofile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Whether TagLib may parse a file. Its readers follow some structures as
// deep or as wide as a file makes them: atoms nested in atoms, chapters in
// chapters, an APE text item split at every NUL. A few hundred KiB of such
// nesting exhausts a thread's stack, and a few MiB of NULs take gigabytes.
// Those files are refused here, from their headers, before TagLib sees them.
namespace zentrio {

// The file as the guard reads it: its length, and exactly `count` bytes
// from an offset (nullopt when they cannot all be read).
struct GuardedFile {
    std::int64_t size = 0;
    std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)> read;
    std::int64_t length() const { return size; }
    std::optional<std::string> readAt(std::int64_t offset, std::size_t count) const { return read(offset, count); }
};

bool safeForTagLib(const GuardedFile& file, AudioFormat format);

// The same, for a file opened for reading.
bool safeForTagLib(const fs::FileReader& file, AudioFormat format);

} // namespace zentrio
