#include "platform/splicefile.h"

#include "platform/fsops.h"
#include "platform/posixio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio::fs {

namespace {

    // The old file's bytes [from, to) appended to `out`: by copy_file_range
    // where the file system offers it, else through a small buffer.
    bool copyRange(int in, int out, std::int64_t from, std::int64_t to)
    {
        loff_t at = from;
        while (at < to) {
            const ssize_t n = ::copy_file_range(in, &at, out, nullptr, static_cast<std::size_t>(to - at), 0);
            if (n > 0)
                continue;
            if (n < 0 && errno == EINTR)
                continue;
            if (n == 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
                return false;
            std::string buffer(1 << 20, '\0');
            for (; at < to;) {
                const auto size = static_cast<std::size_t>(std::min<std::int64_t>(to - at, 1 << 20));
                if (!readFully(in, buffer.data(), size, static_cast<off_t>(at))
                    || !writeFully(out, std::string_view(buffer.data(), size)))
                    return false;
                at += static_cast<loff_t>(size);
            }
        }
        return true;
    }

    bool unchanged(const struct stat& before, int fd)
    {
        struct stat now {};
        return ::fstat(fd, &now) == 0 && now.st_size == before.st_size && now.st_mtim.tv_sec == before.st_mtim.tv_sec
            && now.st_mtim.tv_nsec == before.st_mtim.tv_nsec && now.st_ino == before.st_ino;
    }

} // namespace

bool replaceBySplice(const std::string& path, const Splice& splice, const Expectation& expected)
{
    const Fd old(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!old.valid() || ::fstat(old.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1
        || st.st_size != expected.length || splice.from < 0 || splice.from > splice.to || splice.to > st.st_size
        || (expected.inodesIdentify
            && (static_cast<std::uint64_t>(st.st_ino) != expected.inode
                || deviceNumber(st.st_dev) != expected.device))
        || !holds(old.get(), expected))
        return false;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string temporary = folder + "." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    Fd fd(::mkstemp(temporary.data()));
    if (!fd.valid())
        return false;
    const bool written = ::fchmod(fd.get(), st.st_mode & 07777) == 0 && writeFully(fd.get(), splice.prefix)
        && copyRange(old.get(), fd.get(), splice.from, splice.to) && writeFully(fd.get(), splice.suffix)
        && ::fsync(fd.get()) == 0;
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed || !unchanged(st, old.get()) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts through a crash once the folder is synced.
    const Fd parent(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.valid())
        (void)::fsync(parent.get());
    return true;
}

} // namespace zentrio::fs
