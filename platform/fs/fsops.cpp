#include "platform/fs/fsops.h"

#include "platform/fs/posixio.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fstypes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zentrio::fs {

namespace {

    bool sameFile(const std::string& a, const std::string& b)
    {
        struct stat sa {};
        struct stat sb {};
        return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
            && sa.st_ino == sb.st_ino;
    }

    bool exists(const std::string& path)
    {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0;
    }

    // Where the file system has no RENAME_NOREPLACE (exfat-fuse and other
    // FUSE drivers answer EINVAL, some network file systems too), the target
    // is claimed first: creating it with O_CREAT|O_EXCL fails when anything
    // holds the name (on a volume that ignores case, in any spelling), in one
    // step, on every file system that can make files; the file is then
    // renamed over that empty placeholder. A look at the target followed by
    // a plain rename would replace a file made in between. link() + unlink()
    // is as exclusive, but FAT, exFAT and most FUSE drivers have no hard
    // links, and a crash between the two calls would leave one file under
    // both names; a crash here leaves at most an empty file at the target.
    int renameOverPlaceholder(const std::string& from, const std::string& to)
    {
        struct stat source { };
        if (::lstat(from.c_str(), &source) != 0)
            return errno; // no placeholder for a file that is not there
        const bool folder = S_ISDIR(source.st_mode);
        struct stat placeholder { };
        if (folder) {
            if (::mkdir(to.c_str(), 0700) != 0 || ::lstat(to.c_str(), &placeholder) != 0)
                return errno; // rename() puts a folder over an empty folder, as a file over a file
        } else {
            Fd fd(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!fd.valid() || ::fstat(fd.get(), &placeholder) != 0)
                return errno;
        }
        if (::rename(from.c_str(), to.c_str()) == 0)
            return 0;
        const int error = errno;
        // Only the placeholder goes: still empty, and the same file by its
        // inode number or (where a volume numbers each lookup anew) its time.
        struct stat now { };
        if (::lstat(to.c_str(), &now) != 0)
            return error;
        const bool same = now.st_ino == placeholder.st_ino
            || (now.st_mtim.tv_sec == placeholder.st_mtim.tv_sec && now.st_mtim.tv_nsec == placeholder.st_mtim.tv_nsec);
        if (same && (folder ? S_ISDIR(now.st_mode) : S_ISREG(now.st_mode) && now.st_size == 0))
            (void)(folder ? ::rmdir(to.c_str()) : ::unlink(to.c_str()));
        return error;
    }

    // The identity of a regular file, from one statx call.
    std::optional<FileIdentity> identityAt(int dirfd, const char* path, int flags)
    {
        struct statx st {};
        if (::statx(dirfd, path, flags | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &st) != 0
            || !S_ISREG(st.stx_mode))
            return std::nullopt;
        FileIdentity identity;
        identity.device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
        identity.inode = st.stx_ino;
        identity.size = static_cast<std::int64_t>(st.stx_size);
        if (st.stx_mask & STATX_BTIME)
            identity.birth = static_cast<std::int64_t>(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec;
        identity.modified = static_cast<std::int64_t>(st.stx_mtime.tv_sec) * 1000000000 + st.stx_mtime.tv_nsec;
        identity.changed = static_cast<std::int64_t>(st.stx_ctime.tv_sec) * 1000000000 + st.stx_ctime.tv_nsec;
        return identity;
    }

    // Two spellings of one name: they differ, but not once letter case is folded.
    bool differOnlyInCase(const std::string& a, const std::string& b)
    {
        return a != b && nameToText(a).toCaseFolded() == nameToText(b).toCaseFolded();
    }

    // The volume said the target exists: it does when it is another file.
    // It is this file itself when both names stat as one inode, or when the
    // names are two spellings of one and the exact target is not listed.
    bool targetIsTheFileItself(const std::string& from, const std::string& to)
    {
        if (sameFile(from, to))
            return true;
        return parentOf(from) == parentOf(to) && differOnlyInCase(baseOf(from), baseOf(to))
            && !hasExactEntry(parentOf(to), baseOf(to));
    }

    // A case-only rename on a file system that ignores case: the target
    // "exists" because it is the file itself. Go through a temporary name.
    RenameResult renameThroughTemporary(const std::string& from, const std::string& to)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string temporary
                = parentOf(from) + "/.zentrio-rename-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            const int first = renameExclusive(from, temporary);
            if (first == EEXIST)
                continue;
            if (first != 0)
                return RenameResult::Failed;
            const int second = renameExclusive(temporary, to);
            if (second == 0)
                return RenameResult::Renamed;
            renameExclusive(temporary, from);
            return second == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
        }
        return RenameResult::Failed;
    }

} // namespace

int renameExclusive(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    return renameOverPlaceholder(from, to);
}

int forEachEntry(const std::string& folder, const std::function<void(int folderFd, const dirent& entry)>& each)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    // readdir reports an error only through errno, so errno is cleared before
    // each call: a failed stat of a dangling link in `each` must not pass for one.
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            error = errno;
            break;
        }
        if (e->d_name[0] == '.' && (e->d_name[1] == '\0' || (e->d_name[1] == '.' && e->d_name[2] == '\0')))
            continue;
        each(::dirfd(dir), *e);
    }
    ::closedir(dir);
    return error;
}

std::optional<std::vector<DirEntry>> listFolder(const std::string& folder)
{
    std::vector<DirEntry> entries;
    const int error = forEachEntry(folder, [&](int, const dirent& e) {
        if (e.d_name[0] == '.')
            return;
        bool folderEntry = e.d_type == DT_DIR;
        if (e.d_type == DT_UNKNOWN || e.d_type == DT_LNK)
            folderEntry = isFolder(folderPath(folder) + e.d_name);
        entries.push_back({ e.d_name, folderEntry });
    });
    if (error != 0)
        return std::nullopt;
    return entries;
}

std::uint64_t deviceNumber(std::uint64_t statDevice)
{
    return (static_cast<std::uint64_t>(major(statDevice)) << 32) | minor(statDevice);
}

std::optional<FileIdentity> identityOf(const std::string& path) { return identityAt(AT_FDCWD, path.c_str(), 0); }

std::optional<FileIdentity> identityOfOpen(int fd) { return identityAt(fd, "", AT_EMPTY_PATH); }

bool sameIdentity(const FileIdentity& recorded, const FileIdentity& found, bool inodesIdentify)
{
    if (!inodesIdentify)
        return recorded.size == found.size;
    const bool sameBirth = recorded.birth == 0 || found.birth == 0 || recorded.birth == found.birth;
    return recorded.device == found.device && recorded.inode == found.inode && sameBirth;
}

bool sameUnchangedFile(const FileIdentity& recorded, const FileIdentity& found, bool inodesIdentify)
{
    const bool sameTime = recorded.modified == 0 || found.modified == 0 || recorded.modified == found.modified;
    return sameIdentity(recorded, found, inodesIdentify) && (inodesIdentify || sameTime);
}

bool inodesIdentifyFiles(const std::string& folder)
{
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0)
        return true;
    const long type = static_cast<long>(info.f_type);
    return type != fstype::kMsdos && type != fstype::kExfat && type != fstype::kNtfs && type != fstype::kNtfs3
        && type != fstype::kFuse;
}

bool sameLinkedFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return a != b && ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode)
        && sa.st_nlink > 1 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool hasExactEntry(const std::string& folder, const std::string& name)
{
    bool found = false;
    forEachEntry(folder, [&](int, const dirent& e) { found = found || name == e.d_name; });
    return found;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool changeDirectory(const std::string& folder) { return ::chdir(folder.c_str()) == 0; }

std::string currentDirectory()
{
    std::string buffer(PATH_MAX, '\0');
    if (!::getcwd(buffer.data(), buffer.size()))
        return "/";
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// O_NONBLOCK keeps a FIFO that happens to carry an .mp3 name from hanging the read.
FileReader::FileReader(const std::string& path)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
{
    takeIdentity();
}

FileReader::FileReader(int folderFd, const std::string& name)
    : m_fd(::openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
{
    takeIdentity();
}

// A reader of anything but a regular file is closed at once.
void FileReader::takeIdentity()
{
    const auto identity = m_fd >= 0 ? identityAt(m_fd, "", AT_EMPTY_PATH) : std::nullopt;
    if (m_fd >= 0 && !identity) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (identity)
        m_identity = *identity;
}

FileReader::~FileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<std::string> FileReader::readAt(std::int64_t offset, std::size_t count) const
{
    if (m_fd < 0 || offset < 0)
        return std::nullopt;
    std::string bytes(count, '\0');
    if (!readFully(m_fd, bytes.data(), count, static_cast<off_t>(offset)))
        return std::nullopt;
    return bytes;
}

std::optional<TailRead> readTail(const std::string& path, std::size_t count, std::size_t skipAtEnd)
{
    const FileReader file(path);
    if (!file.isOpen() || file.length() < static_cast<std::int64_t>(count + skipAtEnd))
        return std::nullopt;
    auto bytes = file.readAt(file.length() - static_cast<std::int64_t>(count + skipAtEnd), count);
    if (!bytes)
        return std::nullopt;
    return TailRead { std::move(*bytes), file.length() };
}

RenameResult renameNoReplace(const std::string& from, const std::string& to)
{
    if (from == to)
        return exists(from) ? RenameResult::Renamed : RenameResult::Failed;
    const int error = renameExclusive(from, to);
    if (error == 0)
        return RenameResult::Renamed;
    if (error != EEXIST)
        return RenameResult::Failed;
    if (targetIsTheFileItself(from, to))
        return renameThroughTemporary(from, to);
    return RenameResult::TargetExists;
}

bool replaceFileAtomically(const std::string& path, std::string_view content)
{
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + base + ".XXXXXX";
    Fd fd(::mkstemp(pattern.data()));
    if (!fd.valid())
        return false;
    const std::string temporary = pattern;
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = ::fchmod(fd.get(), mode) == 0 && writeFully(fd.get(), content) && ::fsync(fd.get()) == 0;
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts through a crash once the folder is synced.
    (void)syncFolder(folder.empty() ? "." : folder);
    return true;
}

bool syncFolder(const std::string& folder)
{
    const Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool writeAt(const std::string& path, std::int64_t offset, std::string_view data)
{
    Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || offset < 0 || offset > st.st_size)
        return false;
    const std::int64_t oldLength = st.st_size;
    const std::int64_t overlap = std::min<std::int64_t>(oldLength - offset, static_cast<std::int64_t>(data.size()));
    std::string previous(static_cast<std::size_t>(overlap), '\0');
    if (overlap > 0 && !readFully(fd.get(), previous.data(), previous.size(), static_cast<off_t>(offset)))
        return false;
    const ssize_t n = ::pwrite(fd.get(), data.data(), data.size(), static_cast<off_t>(offset));
    if (n == static_cast<ssize_t>(data.size()) && ::fsync(fd.get()) == 0)
        return true;
    // Put back what was there, so a failed write leaves the file as it was.
    if (overlap > 0)
        (void)::pwrite(fd.get(), previous.data(), previous.size(), static_cast<off_t>(offset));
    (void)::ftruncate(fd.get(), static_cast<off_t>(oldLength));
    return false;
}

bool appendAndSync(const std::string& path, std::string_view data)
{
    Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (writeFully(fd.get(), data) && ::fsync(fd.get()) == 0)
        return true;
    (void)::ftruncate(fd.get(), st.st_size); // no half-written tail is left behind
    return false;
}

namespace {

    bool removeEntriesAt(int folderFd)
    {
        DIR* dir = ::fdopendir(folderFd);
        if (!dir) {
            ::close(folderFd);
            return false;
        }
        bool ok = true;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                ok = false;
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                const int child = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                ok = child >= 0 && removeEntriesAt(child) && ok;
                ok = ::unlinkat(::dirfd(dir), name.c_str(), AT_REMOVEDIR) == 0 && ok;
            } else {
                ok = ::unlinkat(::dirfd(dir), name.c_str(), 0) == 0 && ok;
            }
        }
        ::closedir(dir);
        return ok;
    }

} // namespace

bool removeTree(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    const bool emptied = removeEntriesAt(fd);
    return ::rmdir(folder.c_str()) == 0 && emptied;
}

std::optional<std::string> readWholeFile(const std::string& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

} // namespace zentrio::fs
