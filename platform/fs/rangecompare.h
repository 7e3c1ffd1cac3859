#pragma once

#include "platform/fs/fsops.h"

#include <cstdint>
#include <string>

// Two stretches of bytes compared byte for byte, in blocks, so that a digest
// that two files share (no proof: digests of other bytes can meet) is
// confirmed before one of them is taken for a copy of the other.
namespace zentrio::fs {

struct FileRange {
    std::string path;
    std::int64_t begin = 0;
    std::int64_t end = 0; // past the last byte
    FileIdentity expected; // the file as it was when the range was found
};

enum class RangesCompared { Same, Differ, Unreadable };

// Unreadable when either file cannot be read through, is no longer the file
// its identity was taken of, or was written to while it was compared.
RangesCompared compareRanges(const FileRange& a, const FileRange& b);

} // namespace zentrio::fs
