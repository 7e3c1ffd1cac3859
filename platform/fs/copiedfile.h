#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Which file a crash copy was taken of, and whether a later start finds that
// file again: shared by the copies of in-place patches and the streamed
// copies of in-place splices.
namespace zentrio::fs {

struct CopiedFile {
    std::string path;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t birth = 0; // 0 where the file system keeps no birth time
    std::uint64_t volume = 0; // the file system's id (statfs), which lasts across mounts; 0 when unknown
    bool inodesIdentify = true;
};

// The open file at path as a copy records it; nullopt for no regular file.
std::optional<CopiedFile> copiedFileOf(int fd, const std::string& path, bool inodesIdentify);

// The id of the file system an open file is on; 0 when it gives none.
std::uint64_t volumeOfOpen(int fd);

// At a later start: the open file is the one the copy was taken of. Where
// the file system has an id, it and the inode and birth time say so; where
// inode numbers do not last, the path and the bytes decide (always true).
bool isCopiedFile(int fd, const CopiedFile& file);

// The file could not be opened with `openError`: true when it is gone from
// a folder that is there on the volume it was on (deleted or moved away),
// false when it may only be out of reach (a disk not plugged in, a share not
// mounted, a read-only mount).
bool goneFromItsVolume(const CopiedFile& file, int openError);

} // namespace zentrio::fs
