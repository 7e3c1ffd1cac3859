#include "platform/fs/spliceinplace.h"

#include "platform/fs/copiedfile.h"
#include "platform/fs/statedir.h"
#include "platform/fs/streamcopy.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace zentrio::fs {

namespace {

std::int64_t lengthOf(const Splice& splice)
{
    return static_cast<std::int64_t>(splice.prefix.size() + splice.suffix.size()) + splice.to - splice.from;
}

// The spliced content's bytes [at, at + size), the old ones read from
// `old`, where the old file's byte x lies at `oldAt + x`.
bool readSpliced(int old, std::int64_t oldAt, const Splice& splice, std::int64_t at, char* out, std::size_t size)
{
    const auto prefix = static_cast<std::int64_t>(splice.prefix.size());
    const std::int64_t kept = splice.to - splice.from;
    for (std::int64_t end = at + static_cast<std::int64_t>(size); at < end;) {
        std::int64_t piece = 0;
        if (at < prefix) {
            piece = std::min(end, prefix) - at;
            std::memcpy(out, splice.prefix.data() + at, static_cast<std::size_t>(piece));
        } else if (at < prefix + kept) {
            piece = std::min(end, prefix + kept) - at;
            if (!readFully(
                    old, out, static_cast<std::size_t>(piece), static_cast<off_t>(oldAt + splice.from + at - prefix)))
                return false;
        } else {
            const std::int64_t into = at - prefix - kept;
            piece = std::min<std::int64_t>(end - at, static_cast<std::int64_t>(splice.suffix.size()) - into);
            if (piece <= 0)
                return false;
            std::memcpy(out, splice.suffix.data() + into, static_cast<std::size_t>(piece));
        }
        out += piece;
        at += piece;
    }
    return true;
}

// The new content over the file, the old bytes it keeps read from the
// copy (they move, so the file's own would be overwritten before they are
// read), cut to its length and synced. The slices start at multiples of the
// page size, so that a process killed between two of the kernel's steps
// leaves each 512-byte block old or new, as the repair expects.
bool writeSpliced(int fd, const StreamedCopy& copy, const Splice& splice)
{
    constexpr std::int64_t kSlice = std::int64_t(1) << 20;
    const std::int64_t length = lengthOf(splice);
    std::string buffer;
    for (std::int64_t at = 0; at < length; at += kSlice) {
        buffer.resize(static_cast<std::size_t>(std::min(kSlice, length - at)));
        if (!readSpliced(copy.fd.get(), copy.dataAt, splice, at, buffer.data(), buffer.size())
            || !pwriteFully(fd, buffer, static_cast<off_t>(at)))
            return false;
    }
    return ::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::fsync(fd) == 0;
}

// Nothing has written the file since it was opened and checked.
bool untouchedSince(int fd, const struct stat& seen)
{
    struct stat now { };
    return ::fstat(fd, &now) == 0 && now.st_size == seen.st_size && now.st_mtim.tv_sec == seen.st_mtim.tv_sec
        && now.st_mtim.tv_nsec == seen.st_mtim.tv_nsec && now.st_ctim.tv_sec == seen.st_ctim.tv_sec
        && now.st_ctim.tv_nsec == seen.st_ctim.tv_nsec;
}

} // namespace

bool spliceInPlace(const std::string& path, const Splice& splice, const Expectation& expected,
    const std::string& copyFolder, const std::function<void()>& afterCopy)
{
    if (!ensurePrivateFolder(copyFolder).ok() || filesWaitingForRepair(copyFolder).contains(path))
        return false;
    const Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    struct stat seen { };
    if (!fd.valid() || ::fstat(fd.get(), &seen) != 0 || !S_ISREG(seen.st_mode) || seen.st_size != expected.length
        || splice.from < 0 || splice.from > splice.to || splice.to > seen.st_size)
        return false;
    const auto file = copiedFileOf(fd.get(), path, expected.inodesIdentify);
    if (!file || (expected.inodesIdentify && (file->device != expected.device || file->inode != expected.inode))
        || !holds(fd.get(), expected))
        return false;
    auto copy = writeStreamedCopy(copyFolder, fd.get(), *file, seen.st_size, lengthOf(splice),
        [&](std::int64_t at, char* out, std::size_t size) { return readSpliced(fd.get(), 0, splice, at, out, size); });
    if (!copy)
        return false;
    if (afterCopy)
        afterCopy();
    if (!untouchedSince(fd.get(), seen)) {
        copy->remove(); // another program wrote it meanwhile: its bytes are not ours to replace
        return false;
    }
    if (writeSpliced(fd.get(), *copy, splice)) {
        copy->remove();
        return true;
    }
    if (putBackFromCopy(fd.get(), *copy))
        copy->remove();
    return false;
}

} // namespace zentrio::fs
