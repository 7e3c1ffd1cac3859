/* A pass-through FUSE file system that can lose power, for the crash tests.
 *
 *   zentrio_powerfs BACKING MOUNTPOINT [fuse options]
 *
 * It serves the folder BACKING (the live state, what programs see) and keeps
 * beside it the state a disk would hold after a power cut (the durable state):
 *
 *   - a file's bytes and size become durable at fsync of that file;
 *   - fdatasync makes the bytes durable, and the size only where it grows
 *     (ext4 in its default ordered mode writes a larger size with the data;
 *     a smaller one is metadata fdatasync need not write);
 *   - a folder's entries (create, rename, link, unlink, mkdir, rmdir,
 *     symlink) become durable at fsync of that folder, each folder on its
 *     own: fsync of a file does not make its name durable, and a move
 *     between two folders is durable at both ends only once both are synced;
 *   - the command "sync" makes everything durable. The kernel hands syncfs
 *     and sync to no FUSE server but virtiofs, so a program's syncfs is not
 *     seen here: it makes nothing durable in this model.
 *   - a file's mode and times are not modelled: a cut keeps the live ones.
 *
 * Before the first change to a file's bytes or a folder's entries since the
 * last sync, its durable contents are copied to memory (until then they are
 * the live ones). An inode this mount unlinks or renames over keeps a link in
 * the hidden folder .powerfs-grave, so its number is not reused while the
 * durable state may still name it.
 *
 * The control file /.powerfs (hidden from listings) takes commands:
 *   freeze-after N  after N more sync points (fsync, fdatasync, fsync of a
 *                   folder) have returned, every further call blocks until
 *                   "cut"; N = 0 freezes now. Blocked calls then fail (EIO);
 *   cut             drop every pending change: BACKING is rewritten to the
 *                   durable state, which the mount serves from then on;
 *   sync            make everything durable.
 *   cut keep=I,J tear=K
 *                   as a disk may do: besides the durable state, the pending
 *                   writes (and truncations) numbered I, J... (or a range,
 *                   "I-J", "I-" up to the last, or "last") are kept, and
 *                   the Kth ("last": the last one) up to its first
 *                   512-byte boundary; they are
 *                   numbered from 1 in the order they were made, since the
 *                   last sync of their file. Names stay as the folders'
 *                   syncs left them.
 *   lose-sync K     the Kth sync point from now returns success but makes
 *                   nothing durable, as a disk that drops a flush would: it
 *                   tells which sync a program's safety rests on. Sent
 *                   again, each of the sync points named is lost; a cut
 *                   forgets them. Lost and frozen at the same sync point,
 *                   the power goes while that sync is under way: its writes
 *                   are pending at the cut, to be kept or torn.
 * Reading it gives "syncs N", "frozen 0|1", "cuts N" and "pending N" (the
 * writes and truncations not yet durable), a line each.
 *
 * The file /.powerfs-syncs lists every sync point since the mount, a line
 * each: "N fsync|fdatasync|fsyncdir PATH [lost]" (PATH "?" for a file no
 * longer named), so that a test can tell which call each sync point was. */
#define FUSE_USE_VERSION 35
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

struct Entry {
    ino_t ino = 0;
    mode_t type = 0;
    std::string target; // of a symlink
};
using Entries = std::map<std::string, Entry>;

// A write (or, with `truncation`, a change of size) not yet durable.
struct Pending {
    ino_t ino = 0;
    off_t offset = 0;
    std::string bytes;
    bool truncation = false;
};

// What a disk holds of one inode, once it differs from the live state.
struct Durable {
    bool bytesKept = false;
    std::string bytes;
    bool entriesKept = false;
    Entries entries;
};

const char* const kControl = "/.powerfs";
const char* const kSyncLog = "/.powerfs-syncs";
const char* const kGrave = "/.powerfs-grave";
const char* const kStage = "/.powerfs-cut";

std::string backing;
ino_t rootIno = 0;
std::mutex lock;
std::condition_variable thawed;
std::unordered_map<ino_t, Durable> durable;
std::vector<Pending> pending;
unsigned long syncs = 0, cuts = 0, graves = 0;
long freezeAt = -1;
std::set<unsigned long> losing; // the sync points that make nothing durable
std::string syncLog;
bool frozen = false;

bool hidden(const char* path) { return strncmp(path, "/.powerfs", 9) == 0; }
std::string real(const char* path) { return backing + path; }
std::string parentOf(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash == path ? backing + "/" : backing + std::string(path, slash);
}

ino_t inoOf(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string readAll(int fd)
{
    std::string bytes;
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

std::string readPath(const std::string& path, int flags = O_NOFOLLOW)
{
    const int fd = open(path.c_str(), O_RDONLY | flags);
    if (fd < 0)
        return {};
    std::string bytes = readAll(fd);
    close(fd);
    return bytes;
}

// The live bytes behind a handle, which may be open for writing only.
std::string readHandle(int fd) { return readPath("/proc/self/fd/" + std::to_string(fd), 0); }

Entries listFolder(const std::string& folder, bool root)
{
    Entries entries;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || (root && name.rfind(".powerfs", 0) == 0))
            continue;
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            continue;
        Entry entry { st.st_ino, st.st_mode & S_IFMT, {} };
        if (S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            const ssize_t n = readlink(path.c_str(), target, sizeof target);
            entry.target.assign(target, n > 0 ? static_cast<size_t>(n) : 0);
        }
        entries[name] = entry;
    }
    closedir(dir);
    return entries;
}

// Keeps the durable bytes of a file (or the entries of a folder) before
// the live ones change.
void keepBytes(ino_t ino, const std::string& bytes)
{
    Durable& d = durable[ino];
    if (!d.bytesKept) {
        d.bytes = bytes;
        d.bytesKept = true;
    }
}
void keepBytesOfPath(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !durable[st.st_ino].bytesKept)
        keepBytes(st.st_ino, readPath(path));
}
void keepBytesOfHandle(int fd)
{
    struct stat st {};
    if (fstat(fd, &st) == 0 && !durable[st.st_ino].bytesKept)
        keepBytes(st.st_ino, readHandle(fd));
}

void remember(int fd, const std::string& path, off_t offset, std::string bytes, bool truncation)
{
    struct stat st {};
    if ((fd >= 0 ? fstat(fd, &st) : lstat(path.c_str(), &st)) == 0 && S_ISREG(st.st_mode))
        pending.push_back({ st.st_ino, offset, std::move(bytes), truncation });
}
void keepEntries(const std::string& folder)
{
    const ino_t ino = inoOf(folder);
    Durable& d = durable[ino];
    if (!d.entriesKept) {
        d.entries = listFolder(folder, ino == rootIno);
        d.entriesKept = true;
    }
}

// A new inode: nothing of it is durable yet.
void bornEmpty(const std::string& path, bool folder)
{
    Durable& d = durable[inoOf(path)];
    (folder ? d.entriesKept : d.bytesKept) = true;
}

// Keeps the inode at `path` alive under the grave, so its number is not
// reused while the durable state may still name it.
std::string bury(const std::string& path, bool folder)
{
    const std::string grave = backing + kGrave + "/" + std::to_string(++graves);
    const int done = folder ? rename(path.c_str(), grave.c_str()) : link(path.c_str(), grave.c_str());
    return done == 0 ? grave : std::string();
}

bool emptyFolder(const std::string& path) { return listFolder(path, false).empty(); }

void removeTree(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        for (const auto& [name, entry] : listFolder(path, false))
            removeTree(path + "/" + name);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

// True when the sync point about to be counted is the one to lose.
bool losingSync() { return losing.count(syncs + 1) != 0; }

void countSync(const char* kind, const char* path, bool lost)
{
    ++syncs;
    syncLog += std::to_string(syncs) + ' ' + kind + ' ' + (path && *path ? path : "?") + (lost ? " lost\n" : "\n");
    if (freezeAt >= 0 && syncs >= static_cast<unsigned long>(freezeAt))
        frozen = true;
}

// Every call but the control file's waits here while frozen, and fails
// once the power is cut: the program that made it is gone.
int gate(std::unique_lock<std::mutex>& held)
{
    if (!frozen)
        return 0;
    thawed.wait(held, [] { return !frozen; });
    return -EIO;
}

#define GATE                                  \
    std::unique_lock<std::mutex> held(lock);  \
    if (const int blocked = gate(held))       \
        return blocked

#define HIDE(path)       \
    if (hidden(path))    \
        return -ENOENT

int result(int rc) { return rc == 0 ? 0 : -errno; }

/* The cut: the durable tree is written to a staging folder from the inode
 * numbers' live paths, then takes the place of the backing folder's contents. */
struct Cut {
    std::unordered_map<ino_t, std::string> where; // a live path of each inode
    std::unordered_map<ino_t, std::string> staged; // a file's first durable path
    std::set<ino_t> writing; // the folders being written, against cycles
    std::set<ino_t> done;

    void index(const std::string& path)
    {
        const ino_t ino = inoOf(path);
        if (!where.emplace(ino, path).second)
            return;
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            for (const auto& [name, entry] : listFolder(path, false))
                if (path + "/" + name != backing + kStage)
                    index(path + "/" + name);
    }

    mode_t modeOf(ino_t ino, mode_t fallback)
    {
        struct stat st {};
        const auto at = where.find(ino);
        return at != where.end() && lstat(at->second.c_str(), &st) == 0 ? st.st_mode & 07777 : fallback;
    }

    std::string livePath(ino_t ino) { return where.count(ino) ? where[ino] : std::string(); }

    void writeFile(const Entry& e, const std::string& out)
    {
        if (staged.count(e.ino) && link(staged[e.ino].c_str(), out.c_str()) == 0)
            return;
        const auto d = durable.find(e.ino);
        const std::string bytes = d != durable.end() && d->second.bytesKept ? d->second.bytes : readPath(livePath(e.ino));
        const int fd = open(out.c_str(), O_CREAT | O_WRONLY | O_TRUNC, modeOf(e.ino, 0644));
        if (fd < 0)
            return;
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                break;
            at += static_cast<size_t>(n);
        }
        struct stat live {}; // a disk keeps a file's times: programs tell files apart by them
        if (lstat(livePath(e.ino).c_str(), &live) == 0) {
            const timespec times[2] = { live.st_atim, live.st_mtim };
            futimens(fd, times);
        }
        close(fd);
        staged[e.ino] = out;
    }

    // A folder reached twice (a move synced at its new folder only) or
    // within itself is written once, as a disk's check would leave it.
    void writeFolder(ino_t ino, const std::string& out)
    {
        const auto d = durable.find(ino);
        const Entries entries = d != durable.end() && d->second.entriesKept
            ? d->second.entries
            : listFolder(livePath(ino), ino == rootIno);
        writing.insert(ino);
        done.insert(ino);
        for (const auto& [name, e] : entries) {
            const std::string path = out + "/" + name;
            if (e.type == S_IFREG) {
                writeFile(e, path);
            } else if (e.type == S_IFLNK) {
                (void)symlink(e.target.c_str(), path.c_str());
            } else if (e.type == S_IFDIR && !writing.count(e.ino) && !done.count(e.ino)
                && mkdir(path.c_str(), modeOf(e.ino, 0755)) == 0) {
                writeFolder(e.ino, path);
            }
        }
        writing.erase(ino);
    }

    void run()
    {
        const std::string stage = backing + kStage;
        removeTree(stage);
        index(backing);
        mkdir(stage.c_str(), 0700);
        writeFolder(rootIno, stage);
        for (const auto& [name, e] : listFolder(backing, false))
            if ("/" + name != kStage)
                removeTree(backing + "/" + name);
        for (const auto& [name, e] : listFolder(stage, false))
            rename((stage + "/" + name).c_str(), (backing + "/" + name).c_str());
        rmdir(stage.c_str());
    }
};

void everythingDurable()
{
    durable.clear();
    pending.clear();
    removeTree(backing + kGrave);
    mkdir((backing + kGrave).c_str(), 0700);
}

// The pending writes a disk got to write before the power went: `kept`
// whole, `torn` up to its first 512-byte boundary.
void keepPending(const std::set<size_t>& kept, size_t torn)
{
    for (size_t i = 0; i < pending.size(); ++i) {
        const Pending& p = pending[i];
        if (!kept.count(i + 1) && torn != i + 1)
            continue;
        std::string& bytes = durable[p.ino].bytes;
        if (p.truncation) {
            bytes.resize(static_cast<size_t>(p.offset));
            continue;
        }
        size_t size = p.bytes.size();
        if (torn == i + 1)
            size = std::min(size, static_cast<size_t>((p.offset / 512 + 1) * 512 - p.offset));
        const size_t at = static_cast<size_t>(p.offset);
        if (bytes.size() < at + size)
            bytes.resize(at + size);
        bytes.replace(at, size, p.bytes, 0, size);
    }
}

void cutPower(const std::string& how)
{
    std::set<size_t> kept;
    size_t torn = 0;
    if (how.find("keep=last") != std::string::npos)
        kept.insert(pending.size());
    else if (const size_t at = how.find("keep="); at != std::string::npos)
        for (const char* n = how.c_str() + at + 5; *n >= '0' && *n <= '9';) {
            char* end = nullptr;
            const size_t first = strtoul(n, &end, 10);
            size_t last = first;
            if (*end == '-') // a range, "I-" up to the last pending write
                last = end[1] >= '0' && end[1] <= '9' ? strtoul(end + 1, &end, 10) : (++end, pending.size());
            for (size_t i = first; i <= last; ++i)
                kept.insert(i);
            n = *end == ',' ? end + 1 : end;
        }
    if (const size_t at = how.find("tear="); at != std::string::npos)
        torn = how.compare(at + 5, 4, "last") == 0 ? pending.size() : strtoul(how.c_str() + at + 5, nullptr, 10);
    keepPending(kept, torn);
    Cut().run();
    everythingDurable();
    ++cuts;
    frozen = false;
    freezeAt = -1;
    losing.clear();
    thawed.notify_all();
}

std::string status()
{
    return "syncs " + std::to_string(syncs) + "\nfrozen " + std::to_string(frozen ? 1 : 0) + "\ncuts "
        + std::to_string(cuts) + "\npending " + std::to_string(pending.size()) + "\n";
}

int command(const std::string& text)
{
    std::lock_guard<std::mutex> held(lock);
    if (text.rfind("freeze-after ", 0) == 0) {
        freezeAt = static_cast<long>(syncs) + atol(text.c_str() + 13);
        frozen = static_cast<long>(syncs) >= freezeAt;
    } else if (text.rfind("lose-sync ", 0) == 0) {
        losing.insert(syncs + strtoul(text.c_str() + 10, nullptr, 10));
    } else if (text.rfind("cut", 0) == 0) {
        cutPower(text);
    } else if (text.rfind("sync", 0) == 0) {
        everythingDurable();
    } else {
        return -EINVAL;
    }
    return 0;
}

// ---- the file system's calls ----

void* pfInit(fuse_conn_info*, fuse_config* cfg)
{
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->kernel_cache = 0;
    cfg->hard_remove = 1; // an unlink is an unlink, never a rename to a hidden name
    cfg->use_ino = 1;
    cfg->readdir_ino = 1;
    return nullptr;
}

bool controlFile(const char* path) { return strcmp(path, kControl) == 0 || strcmp(path, kSyncLog) == 0; }

int pfGetattr(const char* path, struct stat* st, fuse_file_info* fi)
{
    if (controlFile(path)) {
        *st = {};
        st->st_mode = S_IFREG | 0666;
        st->st_nlink = 1;
        return 0;
    }
    HIDE(path);
    if (strcmp(path, "/") != 0) {
        GATE;
    }
    return fi ? result(fstat(static_cast<int>(fi->fh), st)) : result(lstat(real(path).c_str(), st));
}

int pfReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    GATE;
    for (const auto& [name, e] : listFolder(real(path), strcmp(path, "/") == 0)) {
        struct stat st {};
        st.st_ino = e.ino;
        st.st_mode = e.type;
        if (fill(buf, name.c_str(), &st, 0, static_cast<fuse_fill_dir_flags>(0)))
            break;
    }
    return 0;
}

int pfOpen(const char* path, fuse_file_info* fi)
{
    if (controlFile(path)) {
        fi->direct_io = 1;
        fi->fh = ~0ULL;
        return 0;
    }
    HIDE(path);
    GATE;
    if (fi->flags & O_TRUNC)
        keepBytesOfPath(real(path));
    const int fd = open(real(path).c_str(), fi->flags & ~O_CREAT);
    if (fd < 0)
        return -errno;
    if (fi->flags & O_TRUNC)
        remember(fd, {}, 0, {}, true);
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int pfCreate(const char* path, mode_t mode, fuse_file_info* fi)
{
    HIDE(path);
    GATE;
    const std::string p = real(path);
    const bool existed = inoOf(p) != 0;
    if (existed && (fi->flags & O_TRUNC))
        keepBytesOfPath(p);
    if (!existed)
        keepEntries(parentOf(path));
    const int fd = open(p.c_str(), fi->flags, mode);
    if (fd < 0)
        return -errno;
    if (existed && (fi->flags & O_TRUNC))
        remember(fd, {}, 0, {}, true);
    if (!existed)
        bornEmpty(p, false);
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int pfRead(const char* path, char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    if (controlFile(path)) {
        std::lock_guard<std::mutex> held(lock);
        const std::string text = strcmp(path, kControl) == 0 ? status() : syncLog;
        if (offset >= static_cast<off_t>(text.size()))
            return 0;
        const size_t n = std::min(size, text.size() - static_cast<size_t>(offset));
        memcpy(buf, text.data() + offset, n);
        return static_cast<int>(n);
    }
    GATE;
    const ssize_t n = pread(static_cast<int>(fi->fh), buf, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int pfWrite(const char* path, const char* buf, size_t size, off_t offset, fuse_file_info* fi)
{
    if (strcmp(path, kSyncLog) == 0)
        return -EACCES;
    if (strcmp(path, kControl) == 0) {
        const int rc = command(std::string(buf, size));
        return rc < 0 ? rc : static_cast<int>(size);
    }
    GATE;
    keepBytesOfHandle(static_cast<int>(fi->fh));
    const ssize_t n = pwrite(static_cast<int>(fi->fh), buf, size, offset);
    if (n > 0)
        remember(static_cast<int>(fi->fh), {}, offset, std::string(buf, static_cast<size_t>(n)), false);
    return n < 0 ? -errno : static_cast<int>(n);
}

int pfTruncate(const char* path, off_t size, fuse_file_info* fi)
{
    if (strcmp(path, kControl) == 0)
        return 0;
    HIDE(path);
    GATE;
    if (fi)
        keepBytesOfHandle(static_cast<int>(fi->fh));
    else
        keepBytesOfPath(real(path));
    const int rc = fi ? ftruncate(static_cast<int>(fi->fh), size) : truncate(real(path).c_str(), size);
    if (rc == 0)
        remember(fi ? static_cast<int>(fi->fh) : -1, real(path), size, {}, true);
    return result(rc);
}

int pfRelease(const char*, fuse_file_info* fi)
{
    if (fi->fh != ~0ULL)
        close(static_cast<int>(fi->fh));
    return 0;
}

int pfFsync(const char* path, int datasync, fuse_file_info* fi)
{
    if (fi->fh == ~0ULL)
        return 0;
    GATE;
    const int fd = static_cast<int>(fi->fh);
    if (losingSync()) {
        countSync(datasync ? "fdatasync" : "fsync", path, true);
        return 0;
    }
    keepBytesOfHandle(fd);
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return -errno;
    const std::string live = readHandle(fd);
    std::string& kept = durable[st.st_ino].bytes;
    if (!datasync || live.size() >= kept.size())
        kept = live;
    else
        kept.replace(0, live.size(), live);
    std::erase_if(pending, [&](const Pending& p) { return p.ino == st.st_ino; });
    countSync(datasync ? "fdatasync" : "fsync", path, false);
    return 0;
}

int pfFsyncdir(const char* path, int, fuse_file_info*)
{
    GATE;
    if (losingSync()) {
        countSync("fsyncdir", path, true);
        return 0;
    }
    const std::string folder = real(path);
    const ino_t ino = inoOf(folder);
    Durable& d = durable[ino];
    d.entries = listFolder(folder, ino == rootIno);
    d.entriesKept = true;
    countSync("fsyncdir", path, false);
    return 0;
}

int pfMkdir(const char* path, mode_t mode)
{
    HIDE(path);
    GATE;
    keepEntries(parentOf(path));
    if (mkdir(real(path).c_str(), mode) != 0)
        return -errno;
    bornEmpty(real(path), true);
    return 0;
}

int pfUnlink(const char* path)
{
    HIDE(path);
    GATE;
    keepEntries(parentOf(path));
    bury(real(path), false);
    return result(unlink(real(path).c_str()));
}

int pfRmdir(const char* path)
{
    HIDE(path);
    GATE;
    struct stat st {};
    if (lstat(real(path).c_str(), &st) != 0)
        return -errno;
    if (!S_ISDIR(st.st_mode))
        return -ENOTDIR;
    if (!emptyFolder(real(path)))
        return -ENOTEMPTY;
    keepEntries(parentOf(path));
    return bury(real(path), true).empty() ? -errno : 0;
}

int pfRename(const char* from, const char* to, unsigned int flags)
{
    if (hidden(from) || hidden(to))
        return -ENOENT;
    GATE;
    keepEntries(parentOf(from));
    keepEntries(parentOf(to));
    const std::string a = real(from), b = real(to);
    struct stat target {};
    std::string grave;
    if (!(flags & RENAME_EXCHANGE) && lstat(b.c_str(), &target) == 0 && inoOf(a) != target.st_ino) {
        if (!S_ISDIR(target.st_mode))
            bury(b, false);
        else if (!(flags & RENAME_NOREPLACE) && emptyFolder(b))
            grave = bury(b, true);
    }
    if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), flags) == 0)
        return 0;
    const int error = errno;
    if (!grave.empty())
        rename(grave.c_str(), b.c_str());
    return -error;
}

int pfLink(const char* from, const char* to)
{
    HIDE(to);
    GATE;
    keepEntries(parentOf(to));
    return result(link(real(from).c_str(), real(to).c_str()));
}

int pfSymlink(const char* target, const char* path)
{
    HIDE(path);
    GATE;
    keepEntries(parentOf(path));
    return result(symlink(target, real(path).c_str()));
}

int pfReadlink(const char* path, char* buf, size_t size)
{
    GATE;
    const ssize_t n = readlink(real(path).c_str(), buf, size - 1);
    if (n < 0)
        return -errno;
    buf[n] = '\0';
    return 0;
}

int pfChmod(const char* path, mode_t mode, fuse_file_info* fi)
{
    GATE;
    return fi ? result(fchmod(static_cast<int>(fi->fh), mode)) : result(chmod(real(path).c_str(), mode));
}

int pfChown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi)
{
    GATE;
    return fi ? result(fchown(static_cast<int>(fi->fh), uid, gid)) : result(lchown(real(path).c_str(), uid, gid));
}

int pfUtimens(const char* path, const struct timespec tv[2], fuse_file_info* fi)
{
    if (strcmp(path, kControl) == 0)
        return 0;
    GATE;
    return fi ? result(futimens(static_cast<int>(fi->fh), tv))
              : result(utimensat(AT_FDCWD, real(path).c_str(), tv, AT_SYMLINK_NOFOLLOW));
}

int pfStatfs(const char* path, struct statvfs* st)
{
    GATE;
    return result(statvfs(real(path).c_str(), st));
}

fuse_operations operations()
{
    fuse_operations ops {};
    ops.getattr = pfGetattr;
    ops.readlink = pfReadlink;
    ops.mkdir = pfMkdir;
    ops.unlink = pfUnlink;
    ops.rmdir = pfRmdir;
    ops.symlink = pfSymlink;
    ops.rename = pfRename;
    ops.link = pfLink;
    ops.chmod = pfChmod;
    ops.chown = pfChown;
    ops.truncate = pfTruncate;
    ops.open = pfOpen;
    ops.read = pfRead;
    ops.write = pfWrite;
    ops.statfs = pfStatfs;
    ops.release = pfRelease;
    ops.fsync = pfFsync;
    ops.readdir = pfReaddir;
    ops.fsyncdir = pfFsyncdir;
    ops.init = pfInit;
    ops.create = pfCreate;
    ops.utimens = pfUtimens;
    return ops;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s BACKING MOUNTPOINT [fuse options]\n", argv[0]);
        return 2;
    }
    // The mount goes with the test that made it, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    char* source = realpath(argv[1], nullptr);
    if (!source) {
        perror(argv[1]);
        return 2;
    }
    backing = source;
    free(source);
    rootIno = inoOf(backing);
    removeTree(backing + kStage);
    everythingDurable();
    char* fuseArgv[64];
    int fuseArgc = 0;
    fuseArgv[fuseArgc++] = argv[0];
    fuseArgv[fuseArgc++] = argv[2];
    fuseArgv[fuseArgc++] = const_cast<char*>("-f");
    for (int i = 3; i < argc && fuseArgc < 63; ++i)
        fuseArgv[fuseArgc++] = argv[i];
    fuseArgv[fuseArgc] = nullptr;
    const fuse_operations ops = operations();
    const int rc = fuse_main(fuseArgc, fuseArgv, &ops, nullptr);
    removeTree(backing + kGrave); // leaves the backing folder as plain as a disk
    return rc;
}
