#include "platform/fs/rangedigest.h"

#include "platform/fs/digest.h"
#include "platform/fs/posixio.h"

#include <fcntl.h>
#include <memory>

namespace zentrio::fs {

namespace {

    // Large enough that the calls cost nothing beside the copying, small
    // enough to stay in the cache between read and digest.
    constexpr std::size_t kBlock = 1024 * 1024;

} // namespace

std::optional<std::uint64_t> digestOfRange(
    const std::string& path, std::int64_t begin, std::int64_t end, const FileIdentity& expected)
{
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const auto found = fd.valid() ? identityOfOpen(fd.get()) : std::nullopt;
    if (!found || found->device != expected.device || found->inode != expected.inode || found->size != expected.size
        || found->modified != expected.modified || end > found->size || begin > end)
        return std::nullopt;
    if (end - begin > static_cast<std::int64_t>(kBlock)) // one read needs no read-ahead advice
        ::posix_fadvise(fd.get(), begin, end - begin, POSIX_FADV_SEQUENTIAL);
    thread_local const std::unique_ptr<char[]> buffer(new char[kBlock]);
    Digest digest;
    for (std::int64_t at = begin; at < end;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(end - at, kBlock));
        if (!readFully(fd.get(), buffer.get(), count, static_cast<off_t>(at)))
            return std::nullopt;
        digest.add(std::string_view(buffer.get(), count));
        at += static_cast<std::int64_t>(count);
    }
    return digest.value();
}

} // namespace zentrio::fs
