#include "platform/fs/streamcopy.h"

#include "platform/fs/digest.h"
#include "platform/fs/filelock.h"
#include "platform/fs/fsops.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace zentrio::fs {

namespace {

constexpr std::string_view kMagic = "zentrio-stream 1\n";
constexpr std::string_view kEnd = "\nend\n";
constexpr std::int64_t kBlock = 512; // a torn write leaves each such block old or new
constexpr std::int64_t kSlice = std::int64_t(1) << 20; // what is read or written at a time, a multiple of kBlock
constexpr std::int64_t kLargest = std::int64_t(1) << 50; // no file offset or length is larger
constexpr std::size_t kLongestPath = 1 << 16;

// The blocks whose new bytes have a digest: those within both lengths.
std::int64_t blockCount(std::int64_t before, std::int64_t after)
{
    return (std::min(before, after) + kBlock - 1) / kBlock;
}

struct Head {
    CopiedFile file;
    std::int64_t before = 0;
    std::int64_t after = 0;
    std::int64_t dataAt = 0;
    std::int64_t digestsAt() const { return dataAt + before; }
};

std::string formatHead(const CopiedFile& file, std::int64_t before, std::int64_t after)
{
    return std::string(kMagic) + "file " + std::to_string(file.path.size()) + ' ' + std::to_string(file.device) + ' '
        + std::to_string(file.inode) + ' ' + std::to_string(file.birth) + ' ' + std::to_string(file.volume) + ' '
        + (file.inodesIdentify ? '1' : '0') + ' ' + std::to_string(before) + ' ' + std::to_string(after) + '\n'
        + file.path + std::string(kEnd);
}

// The head of an open copy, checked against the copy's length; nullopt for damage.
std::optional<Head> readHead(int copyFd)
{
    struct stat st { };
    if (::fstat(copyFd, &st) != 0)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(std::min<std::int64_t>(st.st_size, 256 + kLongestPath)), '\0');
    if (!readFully(copyFd, text.data(), text.size(), 0) || !std::string_view(text).starts_with(kMagic))
        return std::nullopt;
    std::string_view rest = std::string_view(text).substr(kMagic.size());
    const std::size_t lineEnd = rest.find('\n');
    if (lineEnd == std::string_view::npos || !rest.starts_with("file "))
        return std::nullopt;
    std::vector<std::int64_t> n;
    for (std::string_view line = rest.substr(4, lineEnd - 4); !line.empty();) {
        std::int64_t value = 0;
        const auto [next, error] = std::from_chars(line.data() + 1, line.data() + line.size(), value);
        if (line.front() != ' ' || error != std::errc() || value < 0)
            return std::nullopt;
        n.push_back(value);
        line.remove_prefix(static_cast<std::size_t>(next - line.data()));
    }
    rest.remove_prefix(lineEnd + 1);
    if (n.size() != 8 || n[0] > static_cast<std::int64_t>(kLongestPath) || n[6] > kLargest || n[7] > kLargest
        || rest.size() < static_cast<std::size_t>(n[0]) + kEnd.size()
        || rest.substr(static_cast<std::size_t>(n[0]), kEnd.size()) != kEnd)
        return std::nullopt;
    Head head { { std::string(rest.substr(0, static_cast<std::size_t>(n[0]))), static_cast<std::uint64_t>(n[1]),
                    static_cast<std::uint64_t>(n[2]), n[3], static_cast<std::uint64_t>(n[4]), n[5] != 0 },
        n[6], n[7],
        static_cast<std::int64_t>(text.size() - rest.size()) + n[0] + static_cast<std::int64_t>(kEnd.size()) };
    if (st.st_size != head.digestsAt() + blockCount(head.before, head.after) * 8)
        return std::nullopt;
    return head;
}

// The digests of the new content's blocks, appended to the copy at `at`, a slice at a time.
bool writeDigests(int copyFd, std::int64_t at, std::int64_t before, std::int64_t after, const ContentReader& newContent)
{
    const std::int64_t end = std::min(before, after);
    std::string bytes;
    std::string digests;
    for (std::int64_t from = 0; from < end; from += kSlice) {
        const auto size = static_cast<std::size_t>(std::min(kSlice, end - from));
        bytes.resize(size);
        if (!newContent(from, bytes.data(), size))
            return false;
        digests.clear();
        for (std::size_t block = 0; block < size; block += kBlock) {
            const std::uint64_t digest = digestOf(std::string_view(bytes).substr(block, kBlock));
            digests.append(reinterpret_cast<const char*>(&digest), sizeof digest);
        }
        if (!pwriteFully(copyFd, digests, static_cast<off_t>(at + from / kBlock * 8)))
            return false;
    }
    return true;
}

// `size` bytes of `in` at `inAt` written to `out` at `outAt`: by the kernel
// where the file systems allow it, else through a buffer. For the copy
// alone: its chunks need not fall on the file's blocks.
bool copyFileBytes(int in, std::int64_t inAt, int out, std::int64_t outAt, std::int64_t size)
{
    loff_t from = inAt;
    loff_t to = outAt;
    const loff_t end = inAt + size;
    while (from < end) {
        const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<std::size_t>(end - from), 0);
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        if (n == 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
            return false;
        std::string buffer(static_cast<std::size_t>(std::min<std::int64_t>(kSlice, end - from)), '\0');
        while (from < end) {
            const auto slice = static_cast<std::size_t>(std::min<std::int64_t>(kSlice, end - from));
            if (!readFully(in, buffer.data(), slice, static_cast<off_t>(from))
                || !pwriteFully(out, std::string_view(buffer.data(), slice), static_cast<off_t>(to)))
                return false;
            from += static_cast<loff_t>(slice);
            to += static_cast<loff_t>(slice);
        }
    }
    return true;
}

} // namespace

void StreamedCopy::remove()
{
    ::unlink(name.c_str());
    syncFolder(folder);
}

std::optional<StreamedCopy> writeStreamedCopy(const std::string& folder, int fd, const CopiedFile& file,
    std::int64_t before, std::int64_t after, const ContentReader& newContent)
{
    std::string temporary = folder + "/tmp-XXXXXX";
    StreamedCopy copy { Fd(::mkostemp(temporary.data(), O_CLOEXEC)), folder, {}, 0, before };
    if (!copy.fd.valid())
        return std::nullopt;
    copy.name = folder + "/patch-" + temporary.substr(temporary.size() - 6);
    const std::string head = formatHead(file, before, after);
    copy.dataAt = static_cast<std::int64_t>(head.size());
    if (!FileLock::tryLock(copy.fd.get()) || !writeFully(copy.fd.get(), head)
        || !copyFileBytes(fd, 0, copy.fd.get(), copy.dataAt, before)
        || !writeDigests(copy.fd.get(), copy.dataAt + before, before, after, newContent) || ::fsync(copy.fd.get()) != 0
        || fs::renameExclusive(temporary, copy.name) != 0) { // never over a copy still waiting for its disk
        ::unlink(temporary.c_str());
        return std::nullopt;
    }
    syncFolder(folder);
    return copy;
}

namespace {

// Through a buffer, in slices at multiples of the page size in the file, so
// that a put-back cut short leaves each block old or new again, for the
// next start to finish it.
bool putBack(int fd, int copyFd, std::int64_t dataAt, std::int64_t before)
{
    bool written = true;
    std::string buffer;
    for (std::int64_t at = 0; written && at < before; at += kSlice) {
        buffer.resize(static_cast<std::size_t>(std::min(kSlice, before - at)));
        written = readFully(copyFd, buffer.data(), buffer.size(), static_cast<off_t>(dataAt + at))
            && pwriteFully(fd, buffer, static_cast<off_t>(at));
    }
    const bool cut = ::ftruncate(fd, static_cast<off_t>(before)) == 0;
    return ::fsync(fd) == 0 && written && cut;
}

} // namespace

bool putBackFromCopy(int fd, const StreamedCopy& copy)
{
    return putBack(fd, copy.fd.get(), copy.dataAt, copy.before);
}

bool isStreamedCopy(int copyFd)
{
    std::string first(kMagic.size(), '\0');
    return readFully(copyFd, first.data(), first.size(), 0) && first == kMagic;
}

std::optional<std::string> pathOfStreamedCopy(int copyFd)
{
    const auto head = readHead(copyFd);
    return head ? std::optional(head->file.path) : std::nullopt;
}

namespace {

// Every block within the old length holds its old bytes or, within the
// new length, its new ones (by digest); bytes past the old length are an
// extension that goes with the length.
bool holdsOldOrNew(int fd, int copyFd, const Head& head, std::int64_t length)
{
    const std::int64_t withNew = std::min(head.before, head.after);
    const std::int64_t end = std::min(head.before, length);
    std::string now;
    std::string old;
    std::string digests;
    for (std::int64_t from = 0; from < end; from += kSlice) {
        const auto size = static_cast<std::size_t>(std::min(kSlice, end - from));
        now.resize(size);
        old.resize(size);
        const std::int64_t newBytes = std::clamp<std::int64_t>(withNew - from, 0, kSlice);
        digests.resize(static_cast<std::size_t>((newBytes + kBlock - 1) / kBlock * 8));
        if (!readFully(fd, now.data(), size, static_cast<off_t>(from))
            || !readFully(copyFd, old.data(), size, static_cast<off_t>(head.dataAt + from))
            || !readFully(
                copyFd, digests.data(), digests.size(), static_cast<off_t>(head.digestsAt() + from / kBlock * 8)))
            return false;
        for (std::size_t at = 0; at < size; at += kBlock) {
            const std::int64_t block = from + static_cast<std::int64_t>(at);
            const std::size_t length = std::min<std::size_t>(kBlock, size - at);
            const std::string_view present = std::string_view(now).substr(at, length);
            if (present == std::string_view(old).substr(at, length))
                continue;
            std::uint64_t digest = 0;
            if (block >= withNew)
                return false; // beyond the new length only the old bytes may lie
            std::copy_n(digests.data() + at / kBlock * 8, sizeof digest, reinterpret_cast<char*>(&digest));
            const auto newLength = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, withNew - block));
            if (length < newLength || digestOf(present.substr(0, newLength)) != digest
                || present.substr(newLength) != std::string_view(old).substr(at + newLength, length - newLength))
                return false;
        }
    }
    return true;
}

} // namespace

StreamedRepair repairFromStreamedCopy(int copyFd)
{
    const auto head = readHead(copyFd);
    if (!head)
        return StreamedRepair::SetAside; // written whole before it got its name, so this is damage
    const Fd fd(::open(head->file.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    const int openError = errno;
    if (!fd.valid())
        return goneFromItsVolume(head->file, openError) ? StreamedRepair::SetAside : StreamedRepair::Waiting;
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return StreamedRepair::Waiting;
    if (!S_ISREG(st.st_mode) || !isCopiedFile(fd.get(), head->file) || st.st_size < std::min(head->before, head->after)
        || st.st_size > std::max(head->before, head->after) || !holdsOldOrNew(fd.get(), copyFd, *head, st.st_size))
        return StreamedRepair::SetAside;
    return putBack(fd.get(), copyFd, head->dataAt, head->before) ? StreamedRepair::Restored : StreamedRepair::Waiting;
}

} // namespace zentrio::fs
