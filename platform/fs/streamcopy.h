#pragma once

#include "platform/fs/copiedfile.h"
#include "platform/fs/posixio.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The crash copy of a write that rewrites a file from its start (a tag that
// grows moves all the audio after it): every old byte of the file, and a
// digest of each 512-byte block of its new bytes within the old length.
// Both are streamed into the copy a slice at a time, so that no file sits in
// memory whole, however big. A start puts the old file back from it, its
// bytes and its length, where the file still holds the old bytes or the new
// ones block by block; the copy of a file changed in any other way is set
// aside. It lies in the folder of the in-place patches' copies, under their
// names, so that their repair and their waiting rules hold for it too.
namespace zentrio::fs {

// The new content's bytes [at, at + size) into `out`; false when they cannot be read.
using ContentReader = std::function<bool(std::int64_t at, char* out, std::size_t size)>;

struct StreamedCopy {
    Fd fd { -1 }; // locked from its creation on, for as long as the write goes on
    std::string folder;
    std::string name;
    std::int64_t dataAt = 0; // where the old bytes begin in it
    std::int64_t before = 0; // the file's old length

    // The write is done, or put back: the copy goes.
    void remove();
};

// Writes the copy of the open file `fd` (of length `before`, `after` long
// once written) into `folder`, synced, and names it only once whole.
std::optional<StreamedCopy> writeStreamedCopy(const std::string& folder, int fd, const CopiedFile& file,
    std::int64_t before, std::int64_t after, const ContentReader& newContent);

// Puts the old bytes and length back into the open file, from the copy, and syncs it.
bool putBackFromCopy(int fd, const StreamedCopy& copy);

// True when the open copy is a streamed one (its first bytes say so).
bool isStreamedCopy(int copyFd);
// The path of the file a streamed copy was taken of; nullopt for a damaged copy.
std::optional<std::string> pathOfStreamedCopy(int copyFd);

enum class StreamedRepair { Restored, Waiting, SetAside };
// What a start makes of a streamed copy no running writer holds; a damaged one is set aside.
StreamedRepair repairFromStreamedCopy(int copyFd);

} // namespace zentrio::fs
