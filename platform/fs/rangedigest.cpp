#include "platform/fs/rangedigest.h"

#include "platform/fs/checkedrange.h"
#include "platform/fs/digest.h"

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
    const CheckedRange range(path, begin, end, expected);
    if (!range.valid())
        return std::nullopt;
    if (end - begin > static_cast<std::int64_t>(kBlock)) // one read needs no read-ahead advice
        ::posix_fadvise(range.fd(), begin, end - begin, POSIX_FADV_SEQUENTIAL);
    thread_local const std::unique_ptr<char[]> buffer(new char[kBlock]);
    Digest digest;
    for (std::int64_t at = begin; at < end;) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::int64_t>(end - at, kBlock));
        if (!range.read(buffer.get(), count, at))
            return std::nullopt;
        digest.add(std::string_view(buffer.get(), count));
        at += static_cast<std::int64_t>(count);
    }
    // Written to while it was read: the digest is of no one version of it.
    if (!range.unchanged())
        return std::nullopt;
    return digest.value();
}

} // namespace zentrio::fs
