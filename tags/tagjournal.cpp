#include "tags/tagjournal.h"

#include "platform/digest.h"
#include "platform/filelock.h"
#include "platform/posixio.h"
#include "platform/splicefile.h"
#include "platform/statedir.h"
#include "tags/tagchange.h"
#include "tags/tagfilewrite.h"
#include "tags/tagjournalformat.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

using namespace tagjournal;

namespace {

    std::string folderOf(const std::string& path)
    {
        const auto slash = path.rfind('/');
        return slash == std::string::npos ? "." : path.substr(0, slash);
    }

    std::uint64_t newId()
    {
        static thread_local std::mt19937_64 random { std::random_device {}() ^ static_cast<std::uint64_t>(::getpid()) };
        std::uint64_t id = 0;
        while (id == 0)
            id = random();
        return id;
    }

    std::string failure(const std::string& what, const std::string& path)
    {
        return what + ' ' + path + ": " + std::strerror(errno);
    }

    // The journal's lock: one writer at a time among all of the user's Zentrios.
    fs::FileLock lockOf(const std::string& path) { return fs::FileLock(path + ".lock"); }

    // Appends text in slices of a megabyte, so a big command is never held whole.
    class Appender {
    public:
        explicit Appender(int fd)
            : m_fd(fd)
        {
        }
        bool add(const std::string& text)
        {
            m_buffer += text;
            return m_buffer.size() < (1u << 20) || flush();
        }
        bool flush()
        {
            const bool ok = m_ok && fs::writeFully(m_fd, m_buffer);
            m_buffer.clear();
            m_ok = ok;
            return ok;
        }

    private:
        int m_fd;
        std::string m_buffer;
        bool m_ok = true;
    };

    // Appends a whole block and syncs it; a block cut short is cut off again.
    bool appendBlock(const std::string& path, const std::function<bool(Appender&)>& write, std::string& error)
    {
        const fs::Fd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            error = failure("cannot open", path);
            return false;
        }
        Appender out(fd.get());
        if (write(out) && out.flush() && ::fsync(fd.get()) == 0)
            return true;
        error = failure("cannot write", path);
        (void)::ftruncate(fd.get(), st.st_size);
        return false;
    }

    // Drops the oldest commands once the journal holds half as many again as
    // it keeps, or more bytes than it keeps: the newest commands' bytes are
    // copied as they stand, so a journal is rewritten once in ten commands,
    // not at every one.
    void trim(const std::string& path)
    {
        const fs::Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.valid())
            return;
        const Scan scan = scanJournal(fd.get());
        const std::vector<std::size_t> live = liveCommands(scan);
        std::size_t first = live.size() > kTagJournalCommands * 3 / 2 ? live.size() - kTagJournalCommands : 0;
        while (first + 1 < live.size()
            && static_cast<std::size_t>(scan.length - scan.blocks[live[first]].start) > kTagJournalBytes)
            ++first;
        if (first == 0)
            return;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return;
        const fs::Expectation unchanged { fs::deviceNumber(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            true, scan.length, {}, Digest().value() };
        fs::replaceBySplice(path, { {}, scan.blocks[live[first]].start, scan.length, {} }, unchanged);
    }

} // namespace

std::optional<FileStamp> fileStamp(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp { st.st_size, static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

TagJournal::TagJournal(std::string path)
    : m_path(std::move(path))
{
}

std::string defaultTagJournalPath() { return stateDirectory() + "/tagjournal"; }

TagJournal::Command TagJournal::begin(const std::vector<TagSnapshot>& files) const
{
    Command command { newId() };
    const StateFolder folder = ensurePrivateFolder(folderOf(m_path));
    if (!folder.ok()) {
        command.error = folder.error;
        return command;
    }
    const fs::FileLock lock = lockOf(m_path);
    if (!lock.held()) {
        command.error = failure("cannot lock", m_path);
        return command;
    }
    const bool appended = appendBlock(
        m_path,
        [&](Appender& out) {
            bool ok = out.add(formatCommandStart(command.id, files.size()));
            for (const TagSnapshot& file : files)
                ok = ok && out.add(formatFile(file));
            return ok && out.add(formatCommandEnd(command.id));
        },
        command.error);
    if (appended)
        trim(m_path);
    return command;
}

bool TagJournal::stamp(const Command& command, const std::vector<std::pair<std::size_t, std::optional<FileStamp>>>& after) const
{
    const fs::FileLock lock = lockOf(m_path);
    std::string error;
    return lock.held() && appendBlock(m_path, [&](Appender& out) { return out.add(formatStamps(command.id, after)); }, error);
}

void TagJournal::cancel(const Command& command) const
{
    const fs::FileLock lock = lockOf(m_path);
    std::string error;
    if (lock.held())
        appendBlock(m_path, [&](Appender& out) { return out.add(formatCancel(command.id)); }, error);
}

namespace {

    // The journal opened for reading and cutting, with its whole blocks; a
    // torn or damaged tail is cut back to the last whole block. nullopt when
    // nothing whole is left of a journal that is not empty.
    struct Opened {
        fs::Fd fd { -1 };
        Scan scan;
    };
    std::optional<Opened> openJournal(const std::string& path)
    {
        Opened opened;
        opened.fd = fs::Fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
        if (!opened.fd.valid())
            return errno == ENOENT ? std::optional(std::move(opened)) : std::nullopt;
        opened.scan = scanJournal(opened.fd.get());
        if (opened.scan.wholeUpTo < opened.scan.length) {
            if (opened.scan.wholeUpTo == 0)
                return std::nullopt;
            if (::ftruncate(opened.fd.get(), opened.scan.wholeUpTo) == 0)
                (void)::fsync(opened.fd.get());
            opened.scan.length = opened.scan.wholeUpTo;
        }
        return opened;
    }

    // Renames a damaged journal aside, so that the next command begins a new one.
    void setAside(const std::string& path)
    {
        const std::string aside = path + ".damaged-" + std::to_string(::time(nullptr));
        ::rename(path.c_str(), aside.c_str());
    }

    // The write that gives a file its old tags back, from the file as it is now.
    std::optional<PlannedWrite> undoWrite(const TagSnapshot& old, const TagLayout& now)
    {
        std::string region = now.region;
        if (old.regionCaptured) {
            auto bytes = old.pieces.empty() ? std::optional(old.region) : oldBytesOf(old.pieces, now.region);
            if (!bytes)
                return std::nullopt; // a frame the old tag shares with the new one is not where it was left
            region = std::move(*bytes);
        }
        PlannedWrite write;
        write.expected = now.expectation();
        if (region.size() != now.region.size()) {
            write.splice = fs::Splice { region, static_cast<std::int64_t>(now.region.size()), now.recordOffset(),
                old.record.value_or(std::string()) };
            return write;
        }
        write.patches = changedRuns(now.region, region);
        if (old.record && old.record != now.record)
            write.patches.push_back({ now.recordOffset(), *old.record });
        else if (!old.record && now.record)
            write.newLength = now.length - kRecordSize; // the record the command appended goes
        return write;
    }

    TagUndoOutcome undoFiles(const std::vector<TagSnapshot>& files)
    {
        TagUndoOutcome outcome;
        std::vector<const TagSnapshot*> undone;
        std::vector<std::string> paths;
        bool withRegion = false;
        for (const TagSnapshot& old : files) {
            if (old.notWritten)
                continue;
            if (old.after && fileStamp(old.path) != old.after) {
                ++outcome.skipped; // changed since
                continue;
            }
            undone.push_back(&old);
            paths.push_back(old.path);
            withRegion = withRegion || old.regionCaptured;
        }
        const auto done = performTagWrites(paths, withRegion,
            [&](std::size_t i, const TagLayout& now) { return undoWrite(*undone[i], now); });
        for (const bool restored : done)
            ++(restored ? outcome.restored : outcome.skipped);
        return outcome;
    }

} // namespace

std::optional<std::vector<std::vector<TagSnapshot>>> TagJournal::load() const
{
    const fs::FileLock lock = lockOf(m_path);
    const auto opened = openJournal(m_path);
    if (!opened)
        return std::nullopt;
    std::vector<std::vector<TagSnapshot>> commands;
    if (!opened->fd.valid())
        return commands;
    for (const std::size_t block : liveCommands(opened->scan)) {
        auto files = readCommand(opened->fd.get(), opened->scan, block);
        if (!files)
            return std::nullopt;
        commands.push_back(std::move(*files));
    }
    return commands;
}

std::optional<TagUndoOutcome> TagJournal::undoNewest() const
{
    const fs::FileLock lock = lockOf(m_path);
    const auto opened = openJournal(m_path);
    const auto live = opened ? liveCommands(opened->scan) : std::vector<std::size_t> {};
    const auto files = live.empty() ? std::nullopt : readCommand(opened->fd.get(), opened->scan, live.back());
    if (!opened || (!live.empty() && !files)) {
        setAside(m_path);
        return std::nullopt;
    }
    if (live.empty())
        return TagUndoOutcome {};
    const TagUndoOutcome outcome = undoFiles(*files);
    // Whatever follows the newest live command is its own stamps or
    // commands taken back: the journal ends before it.
    if (::ftruncate(opened->fd.get(), opened->scan.blocks[live.back()].start) == 0)
        (void)::fsync(opened->fd.get());
    return outcome;
}

} // namespace zentrio
