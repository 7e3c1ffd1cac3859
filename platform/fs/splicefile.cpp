#include "platform/fs/splicefile.h"

#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"

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

namespace {

    // The new content in a file of the folder without a name, where the file
    // system allows it (a crash then leaves nothing behind), else under a
    // hidden temporary name.
    struct NewFile {
        Fd fd { -1 };
        bool named = false;
        std::string name;
    };
    NewFile newFileBeside(const std::string& folder, const std::string& base)
    {
        NewFile file;
        file.fd = Fd(::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (file.fd.valid())
            return file;
        file.name = folder + "." + base + ".XXXXXX";
        file.fd = Fd(::mkostemp(file.name.data(), O_CLOEXEC));
        file.named = true;
        return file;
    }

    // Gives the unnamed file a hidden name beside the target.
    bool nameIt(NewFile& file, const std::string& folder, const std::string& base)
    {
        if (file.named)
            return true;
        for (int attempt = 0; attempt < 100; ++attempt) {
            file.name = folder + "." + base + ".zentrio-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            const std::string self = "/proc/self/fd/" + std::to_string(file.fd.get());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, file.name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                file.named = true;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    bool isFile(const std::string& path, const struct stat& expected)
    {
        struct stat now {};
        return ::lstat(path.c_str(), &now) == 0 && now.st_ino == expected.st_ino && now.st_dev == expected.st_dev;
    }

    // Puts the new file in the old one's place only while the path still
    // names the old file: swapped in one step where the file system can, and
    // swapped back when what came out was not the old file.
    bool putInPlace(const std::string& name, const std::string& path, const struct stat& old)
    {
        if (::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
            if (isFile(name, old)) {
                ::unlink(name.c_str());
                return true;
            }
            (void)::renameat2(AT_FDCWD, name.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
            return false;
        }
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        return isFile(path, old) && ::rename(name.c_str(), path.c_str()) == 0;
    }

} // namespace

bool replaceBySplice(const std::string& path, const Splice& splice, const Expectation& expected)
{
    const Fd old(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!old.valid() || ::fstat(old.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1
        || st.st_size != expected.length || splice.from < 0 || splice.from > splice.to || splice.to > st.st_size
        || (expected.inodesIdentify
            && (static_cast<std::uint64_t>(st.st_ino) != expected.inode || deviceNumber(st.st_dev) != expected.device))
        || !holds(old.get(), expected))
        return false;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    NewFile file = newFileBeside(folder, base);
    if (!file.fd.valid())
        return false;
    const bool written = ::fchmod(file.fd.get(), st.st_mode & 07777) == 0 && writeFully(file.fd.get(), splice.prefix)
        && copyRange(old.get(), file.fd.get(), splice.from, splice.to) && writeFully(file.fd.get(), splice.suffix)
        && ::fsync(file.fd.get()) == 0;
    const bool placed = written && unchanged(st, old.get()) && nameIt(file, folder, base) && putInPlace(file.name, path, st);
    if (!placed) {
        if (file.named)
            ::unlink(file.name.c_str());
        return false;
    }
    // The swap itself lasts through a crash once the folder is synced.
    (void)syncFolder(folder.empty() ? "." : folder);
    return true;
}

} // namespace zentrio::fs
