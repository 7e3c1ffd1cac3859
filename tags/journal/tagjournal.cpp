#include "tags/journal/tagjournal.h"

#include "platform/fs/digest.h"
#include "platform/fs/filenames.h"
#include "platform/fs/splicefile.h"
#include "platform/fs/statedir.h"
#include "platform/fs/readpool.h"
#include "platform/fs/setaside.h"
#include "tags/write/endregionwrite.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournalformat.h"
#include "tags/journal/tagjournalpick.h"

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

    bool appendSynced(int fd, std::string_view text)
    {
        return fs::writeFully(fd, text) && ::fsync(fd) == 0;
    }

    // The journal with its tail mended: a torn or damaged tail is cut back to
    // the last whole block, and a command a crash cut short is closed with
    // the files it has. nullopt when nothing whole is left of a journal that
    // is not empty: it is damage.
    std::optional<Scan> mendTail(int fd)
    {
        Scan scan = scanJournal(fd);
        if (scan.wholeUpTo == 0 && scan.length > 0)
            return std::nullopt;
        bool changed = false;
        if (scan.wholeUpTo < scan.length) {
            if (::ftruncate(fd, scan.wholeUpTo) != 0)
                return std::nullopt;
            scan.length = scan.wholeUpTo;
            changed = true;
        }
        if (!scan.blocks.empty() && scan.blocks.back().open && scan.blocks.back().count == 0) {
            // Cut short before its first file was recorded, so before any was written.
            scan.length = scan.wholeUpTo = scan.blocks.back().start;
            scan.blocks.pop_back();
            if (::ftruncate(fd, scan.length) != 0)
                return std::nullopt;
            changed = true;
        }
        if (!scan.blocks.empty() && scan.blocks.back().open) {
            Block& open = scan.blocks.back();
            const std::string end = formatCommandEnd(open.id, open.count);
            if (::pwrite(fd, end.data(), end.size(), static_cast<off_t>(scan.length)) != ssize_t(end.size()))
                return std::nullopt;
            open.open = false;
            open.end = scan.length += static_cast<std::int64_t>(end.size());
            changed = true;
        }
        if (changed)
            (void)::fsync(fd);
        return scan;
    }

    // Opens the journal for reading and, with `mend`, for mending its tail.
    // nullopt for a journal that cannot be opened, or (set aside when
    // mending) one damaged from its start. Without `mend` nothing changes:
    // a torn tail is only not looked at.
    struct Opened {
        fs::Fd fd { -1 };
        Scan scan;
    };
    std::optional<Opened> openJournal(const std::string& path, bool mend = true)
    {
        Opened opened;
        opened.fd = fs::Fd(::open(path.c_str(), (mend ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW));
        if (!opened.fd.valid())
            return errno == ENOENT ? std::optional(std::move(opened)) : std::nullopt;
        if (!mend) {
            opened.scan = scanJournal(opened.fd.get());
            if (opened.scan.wholeUpTo == 0 && opened.scan.length > 0)
                return std::nullopt;
            return opened;
        }
        auto scan = mendTail(opened.fd.get());
        if (!scan) {
            fs::setAsideDamaged(path); // the next command begins a new one
            return std::nullopt;
        }
        opened.scan = std::move(*scan);
        return opened;
    }

    // Drops the oldest commands once the journal holds half as many again as
    // it keeps, or more bytes than it keeps: the newest commands' bytes are
    // copied as they stand, so a journal is rewritten once in ten commands,
    // not at every one.
    void trim(const std::string& path, int fd)
    {
        const Scan scan = scanJournal(fd);
        const std::vector<std::size_t> commands = commandBlocks(scan);
        std::size_t first = commands.size() > kTagJournalCommands * 3 / 2 ? commands.size() - kTagJournalCommands : 0;
        while (first + 1 < commands.size()
            && static_cast<std::size_t>(scan.length - scan.blocks[commands[first]].start) > kTagJournalBytes)
            ++first;
        if (first == 0)
            return;
        const auto identity = fs::identityOfOpen(fd);
        if (!identity)
            return;
        const fs::Expectation unchanged { identity->device, identity->inode, true, scan.length, {}, Digest().value() };
        fs::replaceBySplice(path, { {}, scan.blocks[commands[first]].start, scan.length, {} }, unchanged);
    }

    // The write that gives a file its old tags back, from the file as it is
    // now: none when it holds them already; nullopt when it holds neither
    // them nor the tags the command wrote.
    std::optional<PlannedWrite> undoWrite(const TagSnapshot& old, const TagLayout& now)
    {
        PlannedWrite write;
        write.expected = now.expectation();
        const TagFingerprint current = fingerprintOf(now, old.regionCaptured);
        if (old.before && current == *old.before)
            return write; // never written, or put back already
        if (old.written && current != *old.written)
            return std::nullopt; // changed since
        std::string region = now.region;
        if (old.regionCaptured) {
            auto bytes = old.pieces.empty() ? std::optional(old.region) : oldBytesOf(old.pieces, now.region);
            if (!bytes)
                return std::nullopt; // a frame the old tag shares with the new one is not where it was left
            region = std::move(*bytes);
        }
        // The bytes the journal gives back must make the file it saw before
        // the command: a journal damaged on the disk never writes its damage.
        if (old.before) {
            const auto restored = fingerprintRestored(now, region, old.regionCaptured, old.record);
            if (restored && *restored != *old.before)
                return std::nullopt;
        }
        write.keepModified = old.modified; // the time the file had before the command
        if (now.regionAtEnd) {
            // The old region back at its offset, the file cut or extended to
            // its old length; a region that is not where it was recorded is
            // not the one the command wrote.
            const auto writes = old.regionOffset == now.regionOffset ? endRegionWrites(now, region) : std::nullopt;
            if (!writes)
                return std::nullopt;
            write.patches = writes->patches;
            write.newLength = writes->newLength;
            return write;
        }
        if (old.regionOffset != 0)
            return std::nullopt; // recorded at the end of a file whose region now lies at its start
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

    // A file an earlier version recorded without the fingerprints of its
    // tags: known unchanged only by its stamp, and never without one.
    bool changedByStamp(const TagSnapshot& old)
    {
        return !old.written && (!old.after || fileStamp(old.path) != old.after);
    }

    // The file is not there while its folder is: deleted or moved away since,
    // not merely out of reach (a disk not plugged in has no folder either).
    bool goneFromItsFolder(const std::string& path)
    {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 || errno != ENOENT)
            return false;
        return ::stat(parentOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    // A file that could not be read and is gone from its folder was changed
    // since: the command does not wait for it.
    std::vector<TagUndoStep> settleGoneFiles(std::vector<TagUndoStep> steps)
    {
        for (TagUndoStep& step : steps) {
            if (step.verdict == TagUndoStep::Verdict::Unreadable && goneFromItsFolder(step.path))
                step.verdict = TagUndoStep::Verdict::ChangedSince;
        }
        return steps;
    }

    // Undoes the files of a change made at `since` (or, with `write` false,
    // only looks at them), each where the runs recorded since left it, and
    // says what became of each one.
    std::vector<TagUndoStep> undoFiles(const std::vector<TagSnapshot>& files, const FileTrail* trail,
        std::int64_t since, bool write, const std::function<bool(std::size_t)>& keepGoing)
    {
        std::vector<TagUndoStep> steps;
        std::vector<const TagSnapshot*> undone;
        std::vector<std::string> paths;
        bool withRegion = false;
        for (const TagSnapshot& old : files) {
            if (old.notWritten)
                continue;
            if (changedByStamp(old)) {
                steps.push_back({ old.path, TagUndoStep::Verdict::ChangedSince });
                continue;
            }
            undone.push_back(&old);
            paths.push_back(old.path);
            withRegion = withRegion || old.regionCaptured;
        }
        if (trail && since > 0)
            paths = trail->whereNow(since, paths); // renamed or moved since by a recorded run
        const std::size_t first = steps.size();
        for (const std::string& path : paths)
            steps.push_back({ path, TagUndoStep::Verdict::NotAttempted });
        std::vector<std::optional<fs::FileIdentity>> identities(paths.size());
        const auto plan = [&](std::size_t i, const TagLayout& now) {
            identities[i] = fs::identityOf(paths[i]);
            auto planned = undoWrite(*undone[i], now);
            steps[first + i].verdict = !planned         ? TagUndoStep::Verdict::ChangedSince
                : planned->writesNothing() ? TagUndoStep::Verdict::AlreadyBack
                                           : TagUndoStep::Verdict::PutBack;
            return planned;
        };
        if (!write) {
            readInOrder(
                paths.size(),
                [&](std::size_t i) -> std::optional<bool> {
                    steps[first + i].verdict = TagUndoStep::Verdict::Unreadable;
                    if (const auto now = readTagLayout(paths[i], withRegion))
                        plan(i, *now);
                    return true;
                },
                ReadAll::Yes);
            return settleGoneFiles(std::move(steps));
        }
        SliceHooks hooks;
        hooks.beforeWrites = [&](std::size_t at, const std::vector<std::optional<PlannedWrite>>& plans)
            -> std::optional<std::vector<bool>> {
            for (std::size_t i = 0; i < plans.size(); ++i) {
                if (steps[first + at + i].verdict == TagUndoStep::Verdict::NotAttempted)
                    steps[first + at + i].verdict = TagUndoStep::Verdict::Unreadable; // planned only after a reading
            }
            if (keepGoing && !keepGoing(at))
                return std::nullopt;
            return std::vector<bool>(plans.size(), true);
        };
        hooks.afterWrites = [&](std::size_t at, const std::vector<bool>& done) {
            for (std::size_t i = 0; i < done.size(); ++i) {
                TagUndoStep& step = steps[first + at + i];
                if (step.verdict == TagUndoStep::Verdict::PutBack && !done[i])
                    step.verdict = TagUndoStep::Verdict::NotWritten;
            }
        };
        performTagWrites(paths, withRegion, plan, hooks);
        if (trail) {
            // The runs that moved the files put back learn them as they are now.
            std::vector<RewrittenFile> rewritten;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (steps[first + i].verdict == TagUndoStep::Verdict::PutBack && identities[i])
                    rewritten.push_back({ paths[i], *identities[i] });
            }
            trail->noteRewritten(rewritten);
        }
        return settleGoneFiles(std::move(steps));
    }

    // The change undo takes, by its index in `commands`: the newest when
    // `id` is empty; none (and why, in `refused`) when the id names none or
    // newer changes wrote its files.
    std::optional<std::size_t> chooseChange(const Opened& opened, const std::vector<std::size_t>& commands,
        const std::string& id, const FileTrail* trail, TagUndoOutcome& refused)
    {
        if (id.empty())
            return commands.empty() ? std::nullopt : std::optional(commands.size() - 1);
        bool ambiguous = false;
        const auto index = findChange(opened.scan, commands, id, ambiguous);
        if (!index) {
            refused.refusal = ambiguous ? TagUndoOutcome::Refusal::AmbiguousId : TagUndoOutcome::Refusal::NoSuchChange;
            return std::nullopt;
        }
        refused.newer = newerChangesOfItsFiles(opened.fd.get(), opened.scan, commands, *index, trail);
        if (refused.newer.empty())
            return index;
        refused.refusal = TagUndoOutcome::Refusal::NewerChanges;
        refused.id = changeId(opened.scan.blocks[commands[*index]].id);
        return std::nullopt;
    }

    TagUndoOutcome outcomeOf(std::vector<TagUndoStep> steps)
    {
        TagUndoOutcome outcome;
        for (const TagUndoStep& step : steps) {
            switch (step.verdict) {
            case TagUndoStep::Verdict::PutBack:
            case TagUndoStep::Verdict::AlreadyBack:
                ++outcome.restored;
                break;
            case TagUndoStep::Verdict::ChangedSince:
                ++outcome.skipped;
                break;
            case TagUndoStep::Verdict::Unreadable:
            case TagUndoStep::Verdict::NotWritten:
            case TagUndoStep::Verdict::NotAttempted:
                ++outcome.skipped;
                outcome.kept = true;
                break;
            }
        }
        outcome.steps = std::move(steps);
        return outcome;
    }

} // namespace

std::optional<FileStamp> fileStamp(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp { st.st_size, static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

TagJournal::TagJournal(std::string path, std::shared_ptr<const FileTrail> trail)
    : m_path(std::move(path))
    , m_trail(std::move(trail))
{
}

std::string defaultTagJournalPath()
{
    const std::string state = stateDirectory();
    return state.empty() ? std::string() : state + "/tagjournal";
}

TagJournal::Command TagJournal::begin(TagOrigin origin, const std::function<bool()>& keepWaiting) const
{
    Command command(m_path, {});
    const StateFolder folder = ensurePrivateFolder(m_path.empty() ? std::string() : parentOf(m_path));
    if (!folder.ok()) {
        command.m_error = folder.error;
        return command;
    }
    command.m_lock.emplace(m_path + ".lock", keepWaiting);
    if (!command.m_lock->held()) {
        command.m_error = keepWaiting ? "stopped while another tag command was running" : failure("cannot lock", m_path);
        return command;
    }
    for (int attempt = 0; attempt < 2 && !command.m_fd.valid(); ++attempt) {
        fs::Fd fd(::open(m_path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            command.m_error = failure("cannot open", m_path);
            return command;
        }
        if (!mendTail(fd.get())) {
            fs::setAsideDamaged(m_path); // damaged from its start: a new journal begins
            continue;
        }
        command.m_fd = std::move(fd);
    }
    struct stat st {};
    command.m_id = newId();
    if (!command.m_fd.valid() || ::fstat(command.m_fd.get(), &st) != 0
        || !fs::writeFully(command.m_fd.get(), formatCommandStart(command.m_id, ::time(nullptr), origin))) {
        command.m_error = failure("cannot write", m_path);
        command.m_fd = fs::Fd(-1);
        return command;
    }
    command.m_start = st.st_size;
    // A journal just made gets its name synced into its folder before any
    // file is written: its record is what undo and the repair go by.
    if (st.st_size == 0 && !fs::syncFolder(parentOf(m_path))) {
        command.m_error = failure("cannot sync the folder of", m_path);
        command.m_fd = fs::Fd(-1);
    }
    return command;
}

bool TagJournal::Command::add(const std::vector<TagSnapshot>& files)
{
    if (!ok() || !m_fd.valid())
        return false;
    struct stat st {};
    std::string text;
    for (const TagSnapshot& file : files)
        text += formatFile(file);
    if (::fstat(m_fd.get(), &st) == 0 && appendSynced(m_fd.get(), text)) {
        m_files += files.size();
        return true;
    }
    m_error = failure("cannot write", m_path);
    (void)::ftruncate(m_fd.get(), st.st_size);
    return false;
}

void TagJournal::Command::finish(const std::vector<std::size_t>& notWritten, bool anyWritten)
{
    if (m_finished || !m_fd.valid())
        return;
    m_finished = true;
    if (!anyWritten) {
        // Nothing changed: the command is taken back whole.
        if (::ftruncate(m_fd.get(), m_start) == 0)
            (void)::fsync(m_fd.get());
    } else {
        std::string end = formatCommandEnd(m_id, m_files);
        if (!notWritten.empty())
            end += formatNotWritten(m_id, notWritten);
        appendSynced(m_fd.get(), end); // a command left open is closed by the next use
        trim(m_path, m_fd.get());
    }
    m_fd = fs::Fd(-1);
    m_lock.reset();
}

TagJournal::Command::~Command() { finish({}, m_files > 0); }

bool TagJournal::record(const std::vector<TagSnapshot>& files) const
{
    Command command = begin();
    const bool added = command.add(files);
    command.finish({}, added);
    return added;
}

std::optional<std::vector<std::vector<TagSnapshot>>> TagJournal::load() const
{
    const fs::FileLock lock(m_path + ".lock");
    const auto opened = openJournal(m_path);
    if (!opened)
        return std::nullopt;
    std::vector<std::vector<TagSnapshot>> commands;
    if (!opened->fd.valid())
        return commands;
    for (const std::size_t block : commandBlocks(opened->scan)) {
        auto files = readCommand(opened->fd.get(), opened->scan, block);
        if (!files)
            return std::nullopt;
        commands.push_back(std::move(*files));
    }
    return commands;
}

std::optional<TagUndoOutcome> TagJournal::undoNewest(
    const std::function<bool(std::size_t)>& keepGoing, const std::function<bool()>& keepWaiting) const
{
    return undoChange({}, false, keepGoing, keepWaiting);
}

std::optional<TagUndoOutcome> TagJournal::undoChange(const std::string& id, bool dryRun,
    const std::function<bool(std::size_t)>& keepGoing, const std::function<bool()>& keepWaiting) const
{
    const fs::FileLock lock(m_path + ".lock", keepWaiting); // a command still writing ends first
    struct stat st {};
    if (keepWaiting && !lock.held() && ::stat(m_path.c_str(), &st) != 0 && errno == ENOENT) {
        TagUndoOutcome nothing; // no journal (nor its folder) yet: nothing to undo
        if (!id.empty())
            nothing.refusal = TagUndoOutcome::Refusal::NoSuchChange;
        return nothing;
    }
    if (keepWaiting && !lock.held())
        return TagUndoOutcome { 0, 0, true, {} };
    const auto opened = openJournal(m_path, !dryRun);
    if (!opened)
        return std::nullopt;
    const auto commands = commandBlocks(opened->scan);
    TagUndoOutcome refused;
    const auto chosen = chooseChange(*opened, commands, id, m_trail.get(), refused);
    if (!chosen)
        return refused;
    const Block& block = opened->scan.blocks[commands[*chosen]];
    const auto files = readCommand(opened->fd.get(), opened->scan, commands[*chosen]);
    if (!files)
        return std::nullopt;
    TagUndoOutcome outcome = outcomeOf(undoFiles(*files, m_trail.get(), block.time, !dryRun, keepGoing));
    outcome.id = changeId(block.id);
    // Commands never interleave, so all that follows a command up to the
    // next one is its own marks. A command with files that could not be put
    // back now stays, and the next undo finishes it.
    const std::int64_t end
        = *chosen + 1 < commands.size() ? opened->scan.blocks[commands[*chosen + 1]].start : opened->scan.length;
    if (!dryRun && !outcome.kept)
        (void)cutOut(m_path, opened->fd.get(), block.start, end, opened->scan.length);
    return outcome;
}

std::optional<TagCommandSummary> TagJournal::dropNewest(const std::function<bool()>& keepWaiting) const
{
    const fs::FileLock lock(m_path + ".lock", keepWaiting); // a command still writing ends first
    if (keepWaiting && !lock.held())
        return TagCommandSummary {};
    const auto opened = openJournal(m_path);
    if (!opened)
        return std::nullopt;
    const auto commands = commandBlocks(opened->scan);
    if (commands.empty())
        return TagCommandSummary {};
    const Block& newest = opened->scan.blocks[commands.back()];
    if (::ftruncate(opened->fd.get(), newest.start) != 0 || ::fsync(opened->fd.get()) != 0)
        return std::nullopt;
    return TagCommandSummary { newest.time, newest.origin, newest.count };
}

std::optional<std::vector<TagUndoStep>> TagJournal::previewNewest() const
{
    auto outcome = undoChange({}, true);
    return outcome ? std::optional(std::move(outcome->steps)) : std::nullopt;
}

std::optional<std::vector<TagCommandSummary>> TagJournal::list() const
{
    const fs::FileLock lock(m_path + ".lock");
    const auto opened = openJournal(m_path, false);
    if (!opened)
        return std::nullopt;
    std::vector<TagCommandSummary> commands;
    for (const std::size_t block : commandBlocks(opened->scan)) {
        const Block& command = opened->scan.blocks[block];
        std::vector<std::string> paths = writtenFilesNow(opened->fd.get(), opened->scan, block, nullptr);
        const std::size_t files = paths.empty() ? command.count : paths.size();
        commands.push_back({ command.time, command.origin, files, changeId(command.id), std::move(paths) });
    }
    return commands;
}

} // namespace zentrio
