#include "platform/fs/patchfile.h"

#include "platform/fs/copiedfile.h"
#include "platform/fs/digest.h"
#include "platform/fs/durablebatch.h"
#include "platform/fs/filelock.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"
#include "platform/fs/statedir.h"
#include "platform/fs/streamcopy.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <set>
#include <fcntl.h>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace zentrio::fs {

namespace {

    constexpr std::string_view kMagic = "zentrio-patch 3\n";
    constexpr std::string_view kEnd = "end\n";
    constexpr std::string_view kCopyPrefix = "patch-";
    constexpr std::string_view kPartialPrefix = "tmp-";
    constexpr std::string_view kAsidePrefix = "aside-";
    constexpr std::int64_t kBlock = 512; // a torn write leaves each such block old or new
    constexpr std::int64_t kLargest = std::int64_t(1) << 50; // no file offset or length is larger

    // One region of a file as the copy keeps it: its old bytes, and the
    // digest of each block of the new bytes that lies within the old length.
    struct Region {
        std::int64_t offset = 0;
        std::string old;
        std::int64_t newSize = 0;
        std::vector<std::uint64_t> newBlocks;
    };

    // What a copy holds for one file: which file, its length before and
    // after the write, and its regions.
    struct Entry : CopiedFile {
        std::int64_t before = 0;
        std::int64_t after = 0;
        std::vector<Region> regions;
    };

    // The blocks of [from, to), cut at multiples of kBlock in the file.
    template <typename Visit> void forEachBlock(std::int64_t from, std::int64_t to, const Visit& visit)
    {
        for (std::int64_t at = from; at < to;) {
            const std::int64_t end = std::min(to, (at / kBlock + 1) * kBlock);
            visit(at, end);
            at = end;
        }
    }

    std::vector<std::uint64_t> blockDigests(const Patch& patch, std::int64_t before)
    {
        std::vector<std::uint64_t> digests;
        const std::int64_t end = std::min(patch.offset + static_cast<std::int64_t>(patch.bytes.size()), before);
        forEachBlock(patch.offset, end, [&](std::int64_t from, std::int64_t to) {
            digests.push_back(digestOf(std::string_view(patch.bytes).substr(
                static_cast<std::size_t>(from - patch.offset), static_cast<std::size_t>(to - from))));
        });
        return digests;
    }

    std::string formatEntries(const std::vector<const Entry*>& entries)
    {
        std::string out(kMagic);
        out += "files " + std::to_string(entries.size()) + '\n';
        for (const Entry* e : entries) {
            out += "file " + std::to_string(e->path.size()) + ' ' + std::to_string(e->device) + ' '
                + std::to_string(e->inode) + ' ' + std::to_string(e->birth) + ' ' + std::to_string(e->volume) + ' '
                + (e->inodesIdentify ? '1' : '0') + ' ' + std::to_string(e->before)
                + ' ' + std::to_string(e->after) + ' ' + std::to_string(e->regions.size()) + '\n' + e->path + '\n';
            for (const Region& r : e->regions) {
                out += "region " + std::to_string(r.offset) + ' ' + std::to_string(r.old.size()) + ' '
                    + std::to_string(r.newSize) + ' ' + std::to_string(r.newBlocks.size()) + '\n' + r.old;
                for (const std::uint64_t digest : r.newBlocks)
                    out.append(reinterpret_cast<const char*>(&digest), sizeof digest);
                out += '\n';
            }
        }
        return out + std::string(kEnd);
    }

    // Reads a copy's text; nullopt for anything but a whole copy of this version.
    class Parser {
    public:
        explicit Parser(std::string_view text)
            : m_text(text)
        {
        }

        std::optional<std::vector<Entry>> entries()
        {
            if (!take(kMagic) || !m_text.ends_with(kEnd))
                return std::nullopt;
            std::vector<std::int64_t> count;
            if (!line("files", 1, count) || count[0] > static_cast<std::int64_t>(m_text.size()))
                return std::nullopt;
            std::vector<Entry> entries;
            for (std::int64_t f = 0; f < count[0]; ++f) {
                std::vector<std::int64_t> n;
                Entry e;
                if (!line("file", 9, n) || !bytes(n[0], e.path) || !take("\n") || n[6] > kLargest || n[7] > kLargest
                    || n[8] > static_cast<std::int64_t>(m_text.size()))
                    return std::nullopt;
                e.device = static_cast<std::uint64_t>(n[1]);
                e.inode = static_cast<std::uint64_t>(n[2]);
                e.birth = n[3];
                e.volume = static_cast<std::uint64_t>(n[4]);
                e.inodesIdentify = n[5] != 0;
                e.before = n[6];
                e.after = n[7];
                for (std::int64_t r = 0; r < n[8]; ++r) {
                    std::vector<std::int64_t> m;
                    Region region;
                    std::string digests;
                    if (!line("region", 4, m) || m[0] > kLargest || m[2] > kLargest
                        || m[3] > static_cast<std::int64_t>(m_text.size() / 8) || !bytes(m[1], region.old)
                        || !bytes(m[3] * 8, digests) || !take("\n"))
                        return std::nullopt;
                    region.offset = m[0];
                    region.newSize = m[2];
                    region.newBlocks.resize(static_cast<std::size_t>(m[3]));
                    std::copy_n(digests.data(), digests.size(), reinterpret_cast<char*>(region.newBlocks.data()));
                    e.regions.push_back(std::move(region));
                }
                entries.push_back(std::move(e));
            }
            if (m_text != kEnd)
                return std::nullopt;
            return entries;
        }

    private:
        bool take(std::string_view expected)
        {
            if (!m_text.starts_with(expected))
                return false;
            m_text.remove_prefix(expected.size());
            return true;
        }
        // "word n1 n2 ...\n" with `count` numbers, none negative.
        bool line(std::string_view word, std::size_t count, std::vector<std::int64_t>& numbers)
        {
            const std::size_t end = m_text.find('\n');
            if (end == std::string_view::npos || !take(word))
                return false;
            std::string_view rest = m_text.substr(0, end - word.size());
            m_text.remove_prefix(rest.size() + 1);
            while (!rest.empty()) {
                if (rest.front() != ' ')
                    return false;
                rest.remove_prefix(1);
                std::int64_t value = 0;
                const auto [next, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
                if (error != std::errc() || value < 0)
                    return false;
                numbers.push_back(value);
                rest.remove_prefix(static_cast<std::size_t>(next - rest.data()));
            }
            return numbers.size() == count;
        }
        bool bytes(std::int64_t size, std::string& out)
        {
            if (size < 0 || static_cast<std::uint64_t>(size) > m_text.size())
                return false;
            out.assign(m_text.substr(0, static_cast<std::size_t>(size)));
            m_text.remove_prefix(static_cast<std::size_t>(size));
            return true;
        }
        std::string_view m_text;
    };

    // Writes entries to a new file of the folder, synced, locked from its
    // creation on, and gives it its name only once it is whole, so that a
    // start-up repair never sees a copy half written. The descriptor keeps
    // the lock.
    struct WrittenCopy {
        Fd fd { -1 };
        std::string name;
    };
    std::optional<WrittenCopy> writeCopy(const std::string& folder, std::string_view prefix, const std::vector<const Entry*>& entries,
        const std::string& replacing = {})
    {
        std::string temporary = folder + '/' + std::string(kPartialPrefix) + "XXXXXX";
        Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!fd.valid())
            return std::nullopt;
        const std::string name
            = replacing.empty() ? folder + '/' + std::string(prefix) + temporary.substr(temporary.size() - 6) : replacing;
        if (!FileLock::tryLock(fd.get()) || !writeFully(fd.get(), formatEntries(entries)) || ::fsync(fd.get()) != 0
            || ::rename(temporary.c_str(), name.c_str()) != 0) {
            ::unlink(temporary.c_str());
            return std::nullopt;
        }
        syncFolder(folder);
        return WrittenCopy { std::move(fd), name };
    }

    // A crash copy held for as long as its writes go on.
    class HeldCopy {
    public:
        HeldCopy(const std::string& folder, const std::vector<const Entry*>& entries)
            : m_folder(folder)
            , m_copy(writeCopy(folder, kCopyPrefix, entries))
        {
        }
        bool valid() const { return m_copy.has_value(); }
        // The writes are done: the copy goes.
        void remove()
        {
            ::unlink(m_copy->name.c_str());
            syncFolder(m_folder);
        }
        // Some files were neither written nor put back: the copy keeps only
        // them, so that a start puts back no file that was written. Where no
        // new file can be made (a full disk), the copy is rewritten in place:
        // it only shrinks.
        void keepOnly(const std::vector<const Entry*>& entries)
        {
            if (writeCopy(m_folder, kCopyPrefix, entries, m_copy->name))
                return;
            const std::string text = formatEntries(entries);
            if (pwriteFully(m_copy->fd.get(), text, 0) && ::ftruncate(m_copy->fd.get(), static_cast<off_t>(text.size())) == 0)
                (void)::fsync(m_copy->fd.get());
        }

    private:
        std::string m_folder;
        std::optional<WrittenCopy> m_copy;
    };

    // Puts the old bytes and length back, and syncs the file.
    bool putBack(int fd, const Entry& entry)
    {
        bool ok = true;
        for (const Region& region : entry.regions)
            ok = pwriteFully(fd, region.old, static_cast<off_t>(region.offset)) && ok;
        ok = ::ftruncate(fd, static_cast<off_t>(entry.before)) == 0 && ok;
        return ::fsync(fd) == 0 && ok;
    }

    // The open file is the one recorded: where inodes identify files, by
    // device, inode and birth time (a deleted file's number soon serves a
    // new file); elsewhere the path and the bytes decide.
    bool sameFile(int fd, std::uint64_t device, std::uint64_t inode, std::int64_t birth, bool inodesIdentify)
    {
        if (!inodesIdentify)
            return true;
        const auto found = identityOfOpen(fd);
        return found && sameIdentity({ device, inode, 0, birth }, *found, true);
    }

    // At the next start: the open file is the one the copy was taken of.
    CopiedFile copiedFileOf(const Entry& entry) { return entry; }

    // A file opened for its patches, with what its crash copy keeps.
    struct Opened {
        Fd fd { -1 };
        Entry entry;
        struct stat seen {};
    };

    // Nothing has written the file since it was opened and checked.
    bool untouchedSince(int fd, const struct stat& seen)
    {
        struct stat now {};
        return ::fstat(fd, &now) == 0 && now.st_size == seen.st_size && now.st_mtim.tv_sec == seen.st_mtim.tv_sec
            && now.st_mtim.tv_nsec == seen.st_mtim.tv_nsec && now.st_ctim.tv_sec == seen.st_ctim.tv_sec
            && now.st_ctim.tv_nsec == seen.st_ctim.tv_nsec;
    }

    // Opens the file, checks that it is still what its patches were computed
    // from, and reads the bytes they cover; nullopt when it is not.
    std::optional<Opened> openForPatches(const FilePatches& file)
    {
        Opened opened;
        opened.fd = Fd(::open(file.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
        struct stat& st = opened.seen;
        if (!opened.fd.valid() || ::fstat(opened.fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        const auto& expected = file.expected;
        const auto identity = identityOfOpen(opened.fd.get());
        if (!identity)
            return std::nullopt;
        if (expected
            && (!sameFile(opened.fd.get(), expected->device, expected->inode, 0, expected->inodesIdentify)
                || st.st_size != expected->length || !holds(opened.fd.get(), *expected)))
            return std::nullopt;
        Entry& entry = opened.entry;
        entry = { file.path, identity->device, identity->inode, identity->birth, volumeOfOpen(opened.fd.get()),
            expected ? expected->inodesIdentify : inodesIdentifyFiles(parentOf(file.path)), st.st_size, st.st_size, {} };
        for (const Patch& patch : file.patches) {
            if (patch.offset < 0 || patch.offset > st.st_size)
                return std::nullopt;
            const auto kept = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(patch.bytes.size()), st.st_size - patch.offset));
            Region region { patch.offset, std::string(kept, '\0'), static_cast<std::int64_t>(patch.bytes.size()),
                blockDigests(patch, st.st_size) };
            if (!readFully(opened.fd.get(), region.old.data(), kept, static_cast<off_t>(patch.offset)))
                return std::nullopt;
            entry.after = std::max(entry.after, patch.offset + static_cast<std::int64_t>(patch.bytes.size()));
            entry.regions.push_back(std::move(region));
        }
        if (file.newLength) {
            // A cut: the bytes it takes away are kept like any other region.
            const std::int64_t from = *file.newLength;
            if (from < 0 || from > st.st_size || entry.after > st.st_size)
                return std::nullopt;
            Region cut { from, std::string(static_cast<std::size_t>(st.st_size - from), '\0'), 0, {} };
            if (!readFully(opened.fd.get(), cut.old.data(), cut.old.size(), static_cast<off_t>(from)))
                return std::nullopt;
            entry.regions.push_back(std::move(cut));
            entry.after = from;
        }
        return opened;
    }

    // Writes the patches, not yet synced: the group's batch makes them last.
    bool writePatches(int fd, const FilePatches& file)
    {
        for (const Patch& patch : file.patches) {
            if (!pwriteFully(fd, patch.bytes, static_cast<off_t>(patch.offset)))
                return false;
        }
        return !file.newLength || ::ftruncate(fd, static_cast<off_t>(*file.newLength)) == 0;
    }

    // One copy for up to kFilesPerCopy files.
    std::vector<bool> patchGroup(const std::vector<FilePatches>& files, const std::string& folder,
        const std::function<void()>& afterCopy)
    {
        std::vector<bool> written(files.size(), false);
        std::vector<std::optional<Opened>> opened;
        opened.reserve(files.size()); // the entries below point into it
        std::vector<const Entry*> entries;
        for (const FilePatches& file : files) {
            opened.push_back(openForPatches(file));
            if (opened.back())
                entries.push_back(&opened.back()->entry);
        }
        if (entries.empty())
            return written;
        HeldCopy copy(folder, entries);
        if (!copy.valid())
            return written;
        if (afterCopy)
            afterCopy();
        std::vector<const Entry*> unsettled; // neither written nor put back
        const auto settle = [&](std::size_t i) {
            if (!putBack(opened[i]->fd.get(), opened[i]->entry))
                unsettled.push_back(&opened[i]->entry);
        };
        // Every file written first, then all made durable at once: the copy
        // is removed only once each write it guards lasts.
        DurableBatch batch;
        std::vector<std::size_t> inBatch;
        std::vector<struct stat> asWritten; // each file as its write left it
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!opened[i])
                continue;
            if (!untouchedSince(opened[i]->fd.get(), opened[i]->seen))
                continue; // another program wrote it meanwhile: its bytes are not ours to replace
            if (!writePatches(opened[i]->fd.get(), files[i])) {
                settle(i);
                continue;
            }
            asWritten.emplace_back();
            (void)::fstat(opened[i]->fd.get(), &asWritten.back());
            batch.add(opened[i]->fd.get());
            inBatch.push_back(i);
        }
        const std::vector<bool> durable = batch.commit();
        for (std::size_t k = 0; k < inBatch.size(); ++k) {
            const std::size_t i = inBatch[k];
            written[i] = durable[k];
            if (durable[k])
                continue;
            // Another program wrote it while the slice was made durable: its
            // bytes are not ours to put back over, so the copy keeps it.
            if (untouchedSince(opened[i]->fd.get(), asWritten[k]))
                settle(i);
            else
                unsettled.push_back(&opened[i]->entry);
        }
        // Only the files left half written keep a copy; the others are settled.
        if (unsettled.empty())
            copy.remove();
        else
            copy.keepOnly(unsettled);
        return written;
    }

} // namespace

std::size_t filesPerCrashCopy()
{
    constexpr std::size_t kFewest = 16, kMost = 4096;
    constexpr std::size_t kKeptForTheRest = 256; // the program's other descriptors: its threads' reads, the journal, Qt
    struct rlimit limit {};
    const std::size_t open = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        ? static_cast<std::size_t>(limit.rlim_cur)
        : kMost;
    return std::clamp<std::size_t>(open > kKeptForTheRest ? (open - kKeptForTheRest) / 2 : 0, kFewest, kMost);
}

bool holds(int fd, const Expectation& expected)
{
    Digest digest;
    std::string buffer;
    for (const auto& [offset, size] : expected.ranges) {
        for (std::int64_t done = 0; done < size;) {
            const auto slice = static_cast<std::size_t>(std::min<std::int64_t>(size - done, 1 << 20));
            buffer.resize(slice);
            if (!readFully(fd, buffer.data(), slice, static_cast<off_t>(offset + done)))
                return false;
            digest.add(buffer);
            done += static_cast<std::int64_t>(slice);
        }
    }
    return digest.value() == expected.digest;
}

std::set<std::string> filesWaitingForRepair(const std::string& folder)
{
    std::set<std::string> paths;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return paths;
    std::vector<std::string> copies;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::string_view(entry->d_name).starts_with(kCopyPrefix))
            copies.push_back(folder + '/' + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : copies) {
        const Fd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid() || !FileLock::tryLock(fd.get()))
            continue;
        if (isStreamedCopy(fd.get())) { // its head alone: the rest is a whole file's bytes
            if (const auto path = pathOfStreamedCopy(fd.get()))
                paths.insert(*path);
            continue;
        }
        const auto text = readWholeFile(name);
        for (const Entry& entry : (text ? Parser(*text).entries() : std::nullopt).value_or(std::vector<Entry> {}))
            paths.insert(entry.path);
    }
    return paths;
}

std::vector<bool> patchFiles(
    const std::vector<FilePatches>& all, const std::string& copyFolder, const std::function<void()>& afterCopy)
{
    std::vector<bool> written;
    if (!ensurePrivateFolder(copyFolder).ok())
        return std::vector<bool>(all.size(), false);
    const std::set<std::string> waiting = filesWaitingForRepair(copyFolder);
    std::vector<FilePatches> files = all;
    for (FilePatches& file : files) {
        if (waiting.contains(file.path))
            file.path.clear(); // not opened, so not written
    }
    const std::size_t perCopy = filesPerCrashCopy();
    for (std::size_t first = 0; first < files.size(); first += perCopy) {
        const auto last = files.begin() + static_cast<std::ptrdiff_t>(std::min(files.size(), first + perCopy));
        const std::vector<FilePatches> group(files.begin() + static_cast<std::ptrdiff_t>(first), last);
        const auto done = patchGroup(group, copyFolder, afterCopy);
        written.insert(written.end(), done.begin(), done.end());
    }
    return written;
}

bool patchFile(const std::string& path, const std::vector<Patch>& patches, const std::string& copyFolder,
    const std::function<void()>& afterCopy)
{
    return patchFiles({ { path, patches } }, copyFolder, afterCopy).front();
}

namespace {

    enum class Verdict { Restored, Untouched, Waiting, SetAside };

    // The file holds its old length and every region's old bytes: the
    // write never reached it, and writing them again would only give it a
    // new modification time.
    bool holdsOldBytes(int fd, const Entry& entry, std::int64_t length)
    {
        if (length != entry.before)
            return false;
        std::string now;
        for (const Region& region : entry.regions) {
            now.resize(region.old.size());
            if (!readFully(fd, now.data(), now.size(), static_cast<off_t>(region.offset)) || now != region.old)
                return false;
        }
        return true;
    }

    // Every block of the region within the file's old length holds its old
    // bytes or its new ones (by digest); bytes past the file's end are a
    // cut or an extension that did not finish, and the length goes back.
    bool oldOrNew(int fd, const Region& region, std::int64_t before, std::int64_t length)
    {
        const std::int64_t end = std::min({ region.offset + static_cast<std::int64_t>(region.old.size()), before, length });
        std::size_t block = 0;
        bool ok = true;
        std::string now;
        forEachBlock(region.offset, std::min(region.offset + region.newSize, before), [&](std::int64_t from, std::int64_t to) {
            const std::int64_t present = std::min(to, end) - from;
            if (!ok || present <= 0) {
                ++block;
                return;
            }
            now.resize(static_cast<std::size_t>(present));
            const auto old = std::string_view(region.old).substr(static_cast<std::size_t>(from - region.offset), now.size());
            ok = readFully(fd, now.data(), now.size(), static_cast<off_t>(from))
                && (now == old || (present == to - from && block < region.newBlocks.size() && digestOf(now) == region.newBlocks[block]));
            ++block;
        });
        if (region.newSize == 0 && ok && end > region.offset) { // a cut: what is still there is the old bytes
            now.resize(static_cast<std::size_t>(end - region.offset));
            ok = readFully(fd, now.data(), now.size(), static_cast<off_t>(region.offset))
                && std::string_view(region.old).starts_with(now);
        }
        return ok;
    }

    Verdict repair(const Entry& entry)
    {
        const Fd fd(::open(entry.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
        const int openError = errno;
        if (!fd.valid())
            return goneFromItsVolume(copiedFileOf(entry), openError) ? Verdict::SetAside : Verdict::Waiting;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return Verdict::Waiting;
        if (!S_ISREG(st.st_mode) || !isCopiedFile(fd.get(), copiedFileOf(entry))
            || st.st_size < std::min(entry.before, entry.after) || st.st_size > std::max(entry.before, entry.after))
            return Verdict::SetAside;
        for (const Region& region : entry.regions) {
            if (!oldOrNew(fd.get(), region, entry.before, st.st_size))
                return Verdict::SetAside;
        }
        // Synced all the same: old bytes a killed write put back may be in
        // memory only, and the copy goes once this returns.
        if (holdsOldBytes(fd.get(), entry, st.st_size))
            return ::fsync(fd.get()) == 0 ? Verdict::Untouched : Verdict::Waiting;
        return putBack(fd.get(), entry) ? Verdict::Restored : Verdict::Waiting;
    }

    bool keep(const std::string& folder, std::string_view prefix, const std::vector<const Entry*>& entries)
    {
        return writeCopy(folder, prefix, entries).has_value();
    }

    // True when the folder is the user's own: copies planted by anyone else are never acted on.
    bool ownFolder(const std::string& folder)
    {
        struct stat st {};
        return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    }

    std::string asideName(const std::string& folder, const std::string& name)
    {
        return folder + '/' + std::string(kAsidePrefix) + name.substr(name.rfind('/') + 1);
    }

    // The name still names the locked copy: another start may have settled it meanwhile.
    bool stillNamed(const std::string& name, int fd)
    {
        struct stat byName {};
        struct stat byFd {};
        return ::lstat(name.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 && byName.st_ino == byFd.st_ino
            && byName.st_dev == byFd.st_dev;
    }

    // A streamed copy holds one file: it is removed once the file is put
    // back, waits as it is, or is set aside whole.
    void settleStreamedCopy(const std::string& folder, const std::string& name, int fd, RepairOutcome& outcome)
    {
        switch (repairFromStreamedCopy(fd)) {
        case StreamedRepair::Restored:
            ::unlink(name.c_str());
            ++outcome.restored;
            break;
        case StreamedRepair::Waiting:
            ++outcome.waiting;
            break;
        case StreamedRepair::SetAside:
            if (::rename(name.c_str(), asideName(folder, name).c_str()) == 0)
                ++outcome.setAside;
            break;
        }
    }

    void settleCopy(const std::string& folder, const std::string& name, RepairOutcome& outcome)
    {
        const Fd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid() || !FileLock::tryLock(fd.get()) || !stillNamed(name, fd.get()))
            return; // a running Zentrio is writing behind it
        if (isStreamedCopy(fd.get())) {
            settleStreamedCopy(folder, name, fd.get(), outcome);
            return;
        }
        const auto text = readWholeFile(name);
        const auto entries = text ? Parser(*text).entries() : std::nullopt;
        if (!entries) {
            // Written whole before it got its name, so this is damage: kept aside, untouched.
            if (::rename(name.c_str(), asideName(folder, name).c_str()) == 0)
                ++outcome.setAside;
            return;
        }
        std::vector<const Entry*> waiting;
        std::vector<const Entry*> aside;
        for (const Entry& entry : *entries) {
            switch (repair(entry)) {
            case Verdict::Restored:
            case Verdict::Untouched: // as it was, which is what the repair is for
                ++outcome.restored;
                break;
            case Verdict::Waiting:
                waiting.push_back(&entry);
                break;
            case Verdict::SetAside:
                aside.push_back(&entry);
                break;
            }
        }
        outcome.waiting += static_cast<int>(waiting.size());
        outcome.setAside += static_cast<int>(aside.size());
        const bool kept = (waiting.empty() || keep(folder, kCopyPrefix, waiting)) && (aside.empty() || keep(folder, kAsidePrefix, aside));
        if (kept)
            ::unlink(name.c_str());
    }

} // namespace

RepairOutcome restoreInterruptedPatches(const std::string& copyFolder)
{
    RepairOutcome outcome;
    if (!ownFolder(copyFolder))
        return outcome;
    DIR* dir = ::opendir(copyFolder.c_str());
    if (!dir)
        return outcome;
    std::vector<std::string> copies;
    std::vector<std::string> partial;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.starts_with(kCopyPrefix))
            copies.push_back(copyFolder + '/' + entry->d_name);
        else if (name.starts_with(kPartialPrefix))
            partial.push_back(copyFolder + '/' + entry->d_name);
    }
    ::closedir(dir);
    std::sort(copies.begin(), copies.end());
    for (const std::string& name : partial) {
        // A copy cut short before it got its name: no file was touched after it.
        const Fd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (fd.valid() && FileLock::tryLock(fd.get()) && stillNamed(name, fd.get()))
            ::unlink(name.c_str());
    }
    for (const std::string& name : copies) {
        try {
            settleCopy(copyFolder, name, outcome);
        } catch (const std::exception&) {
            // A copy too big to read whole stays where it is, untouched.
        }
    }
    if (!copies.empty() || !partial.empty())
        syncFolder(copyFolder);
    return outcome;
}

} // namespace zentrio::fs
