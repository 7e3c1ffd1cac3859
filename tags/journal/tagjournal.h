#pragma once

#include "platform/fs/filelock.h"
#include "platform/fs/posixio.h"
#include "tags/journal/filetrail.h"
#include "tags/write/frameedit.h"
#include "tags/write/tagchange.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The journal of tag changes: before a command writes tags, the old tags of
// every file it will write are recorded and synced, so that "undo tag
// change" can put them back, after a restart or a crash too. The journal is
// shared by every Zentrio of the user: a command holds its lock from its
// first record to its end, so commands never interleave and an undo never
// takes back a command that is still writing.
namespace zentrio {

// A file's size and modification time (nanoseconds): how the journals of
// earlier versions tell a later change.
using FileStamp = std::pair<std::int64_t, std::int64_t>;
std::optional<FileStamp> fileStamp(const std::string& path);

// One file's tags as they were: its ID3v1 record (when the file ended with
// one) and, where the command wrote the ID3v2 tag, its old region: whole,
// or told against the new one (unchanged frames as where they now lie).
struct TagSnapshot {
    std::string path; // raw bytes: the file itself, links resolved
    std::int64_t length = 0;
    std::optional<std::string> record;
    bool regionCaptured = false; // the ID3v2 region was recorded
    std::string region; // the old region's bytes when kept whole (empty: the file had no ID3v2 tag)
    std::optional<FileStamp> after; // journals of earlier versions: the file right after the write
    std::vector<OldPiece> pieces = {}; // the old region as pieces of the new one, when not kept whole
    bool notWritten = false; // the command did not change this file
    // The file's tags before and after the command: undo acts only on a
    // file that holds one or the other.
    std::optional<TagFingerprint> before = std::nullopt;
    std::optional<TagFingerprint> written = std::nullopt;
    // The file's modification time before the command (nanoseconds), put
    // back by undo; journals of earlier versions have none.
    std::optional<std::int64_t> modified = std::nullopt;
    // Where the region lies in the file: 0 at its start; for a format whose
    // tags follow the audio (tags/write/endregion.h), where it begins and
    // runs to the end. Journals of earlier versions held regions at 0 alone.
    std::int64_t regionOffset = 0;
};

// Which program recorded a command.
enum class TagOrigin { Window, CommandLine };

// A command as "tag undo --list" shows it.
struct TagCommandSummary {
    std::int64_t time = 0; // seconds since the epoch; 0 when not recorded
    TagOrigin origin = TagOrigin::Window;
    std::size_t files = 0;
    std::string id = {}; // short and stable: what "tag undo ID" takes; "-" for a change of an earlier version
    std::vector<std::string> paths = {}; // the files it wrote, as recorded
};

// What undo does (or would do) with one file of the newest command.
struct TagUndoStep {
    std::string path;
    enum class Verdict {
        PutBack,
        AlreadyBack, // it holds its old tags already
        ChangedSince, // it holds neither its old tags nor those the command wrote, or is gone from its folder: left alone
        Unreadable, // it cannot be reached now
        NotWritten, // its old tags could not be written now
        NotAttempted, // the undo stopped before it
    } verdict
        = Verdict::Unreadable;
};

struct TagUndoOutcome {
    int restored = 0; // put back, or as they were already
    int skipped = 0; // changed since, gone, or not writable
    bool kept = false; // some files could not be put back now: the command stays, to be undone again
    std::vector<TagUndoStep> steps;
    std::string id = {}; // the change undone (or looked at)
    // Why no change was undone: none has the id asked for, or more than one
    // id begins so, or newer changes (by `newer`) wrote some of its files.
    enum class Refusal { None, NoSuchChange, AmbiguousId, NewerChanges } refusal = Refusal::None;
    std::vector<std::string> newer = {};
};

class TagJournal {
public:
    // With a trail, undo finds the files of a change where the runs recorded
    // since moved them, and tells those runs of the files it rewrote.
    explicit TagJournal(std::string path, std::shared_ptr<const FileTrail> trail = nullptr);

    // A command being recorded. It holds the journal's lock until it is
    // finished (or destroyed).
    class Command {
    public:
        bool ok() const { return m_error.empty(); }
        const std::string& error() const { return m_error; }
        // Appends files' old tags and syncs them, before they are written.
        bool add(const std::vector<TagSnapshot>& files);
        // Notes the files (by their order in the command) that were not
        // written, and closes the command; a command that wrote nothing is
        // taken back whole.
        void finish(const std::vector<std::size_t>& notWritten, bool anyWritten);
        ~Command();
        Command(Command&&) = default;
        Command& operator=(Command&&) = delete;
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        friend class TagJournal;
        Command(std::string path, std::string error)
            : m_path(std::move(path))
            , m_error(std::move(error))
        {
        }
        std::string m_path;
        std::string m_error;
        std::optional<fs::FileLock> m_lock;
        fs::Fd m_fd { -1 };
        std::uint64_t m_id = 0;
        std::int64_t m_start = 0;
        std::size_t m_files = 0;
        bool m_finished = false;
    };

    // Begins a command: takes the lock (waiting for another command to
    // end), mends a torn tail, and opens the command's record.
    // `keepWaiting` is asked while another command holds the lock.
    Command begin(TagOrigin origin = TagOrigin::Window, const std::function<bool()>& keepWaiting = {}) const;
    // A whole command at once (for tests and small callers).
    bool record(const std::vector<TagSnapshot>& files) const;

    // The recorded commands, oldest first; nullopt when the journal is
    // damaged before its first whole command.
    std::optional<std::vector<std::vector<TagSnapshot>>> load() const;
    // Puts back the newest command's old tags, file by file (each where the
    // runs recorded since left it), skipping a file that holds neither its
    // tags from before nor those the command wrote,
    // and drops that command from the journal. nullopt for a damaged
    // journal, which is set aside as "tagjournal.damaged-TIME" (or "-TIME-N").
    // The command is dropped only when every file holds its old tags again
    // or was changed since; `keepGoing`, asked between slices of files, can
    // stop the undo (the command stays).
    std::optional<TagUndoOutcome> undoNewest(
        const std::function<bool(std::size_t done)>& keepGoing = {}, const std::function<bool()>& keepWaiting = {}) const;
    // Forgets the newest command without undoing it (its files stay as they
    // are), so that undo reaches the one before: the way on when a file of
    // it can never be reached again. nullopt for a damaged journal or a
    // failed write; a summary of 0 files when there is none.
    std::optional<TagCommandSummary> dropNewest(const std::function<bool()>& keepWaiting = {}) const;
    // What undoNewest would do, file by file, writing nothing.
    std::optional<std::vector<TagUndoStep>> previewNewest() const;
    // Undoes (or, with `dryRun`, looks at) the change whose id begins with
    // `id` (the newest one when `id` is empty) as undoNewest does, and drops
    // it; a change a newer one wrote the files of since is refused, and
    // nothing changes.
    std::optional<TagUndoOutcome> undoChange(const std::string& id, bool dryRun,
        const std::function<bool(std::size_t done)>& keepGoing = {}, const std::function<bool()>& keepWaiting = {}) const;
    // The commands kept, oldest first; nullopt for a damaged journal.
    std::optional<std::vector<TagCommandSummary>> list() const;

private:
    std::string m_path;
    std::shared_ptr<const FileTrail> m_trail;
};

std::string defaultTagJournalPath();

// The journal keeps at least the newest 20 commands (up to 30 before it is
// trimmed), within a limit in bytes that always leaves the newest one.
inline constexpr std::size_t kTagJournalCommands = 20;
inline constexpr std::size_t kTagJournalBytes = 256u * 1024 * 1024;

} // namespace zentrio
