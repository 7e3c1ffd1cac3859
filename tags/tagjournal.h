#pragma once

#include "tags/frameedit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The journal of tag changes: before a command writes tags, the old tags of
// every file it will write are recorded and synced, so that "undo tag
// change" can put them back, after a restart or a crash too. The journal is
// shared by every Zentrio of the user: appends are serialised with a lock.
namespace zentrio {

// A file's size and modification time (nanoseconds), to tell a later change.
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
    // The file right after the command wrote it; none when the command did not finish (a crash).
    std::optional<FileStamp> after;
    std::vector<OldPiece> pieces = {}; // the old region as pieces of the new one, when not kept whole
    bool notWritten = false; // the command did not change this file
};

struct TagUndoOutcome {
    int restored = 0;
    int skipped = 0; // changed since, gone, or not writable
};

class TagJournal {
public:
    explicit TagJournal(std::string path);

    // A command as it was appended.
    struct Command {
        std::uint64_t id = 0;
        std::int64_t end = 0; // the journal's length after it
        std::string error; // why it could not be recorded; empty when it was
        bool ok() const { return error.empty(); }
    };
    // Appends one command's snapshots and syncs them, before any write.
    Command begin(const std::vector<TagSnapshot>& files) const;
    bool record(const std::vector<TagSnapshot>& files) const { return begin(files).ok(); }
    // Notes how files of the command (by their index in it) look after the
    // writes; nullopt for a file the command did not change.
    bool stamp(const Command& command, const std::vector<std::pair<std::size_t, std::optional<FileStamp>>>& after) const;
    // Takes back a command that changed nothing.
    void cancel(const Command& command) const;

    // The recorded commands, oldest first; nullopt when the journal is
    // damaged before its first whole command. A damaged or torn tail is
    // cut back to the last whole command.
    std::optional<std::vector<std::vector<TagSnapshot>>> load() const;
    // Puts back the newest command's old tags, file by file, skipping a file
    // changed since, and drops that command from the journal. nullopt for a
    // damaged journal, which is set aside as "tagjournal.damaged-TIME".
    std::optional<TagUndoOutcome> undoNewest() const;

private:
    std::string m_path;
};

std::string defaultTagJournalPath();

// The journal keeps at least the newest 20 commands (up to 30 before it is
// trimmed), within a limit in bytes that always leaves the newest one.
inline constexpr std::size_t kTagJournalCommands = 20;
inline constexpr std::size_t kTagJournalBytes = 256u * 1024 * 1024;

} // namespace zentrio
