#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The journal of tag changes: before a command writes tags, the old tag
// bytes of every file it will write are recorded and synced, so that "undo
// tag change" can put them back, after a restart or a crash too.
namespace zentrio {

// One file's tags as they were: its ID3v1 record (the last 128 bytes, when
// the file ends with one) and, where captured, its ID3v2 region.
struct TagSnapshot {
    std::string path; // raw bytes
    std::int64_t length = 0;
    std::optional<std::string> record;
    bool regionCaptured = false; // the ID3v2 region was recorded (the switch was on)
    std::string region; // empty: the file had no ID3v2 tag
    // The file right after the command wrote it, to tell a later change;
    // none when the command did not finish (a crash).
    std::optional<std::pair<std::int64_t, std::int64_t>> after; // size, modification time in ns
};

// Reads what a tag write may change in the file; nullopt when it cannot be read.
std::optional<TagSnapshot> snapshotTags(const std::string& path, bool withRegion);
// The file's size and modification time now.
std::optional<std::pair<std::int64_t, std::int64_t>> fileStamp(const std::string& path);

struct TagUndoOutcome {
    int restored = 0;
    int skipped = 0; // changed since, gone, or not writable
};

class TagJournal {
public:
    explicit TagJournal(std::string path);

    // Appends one command's snapshots and syncs them, before any write.
    bool record(const std::vector<TagSnapshot>& files) const;
    // Notes how each file of the newest command looks after the writes.
    void stampNewest(const std::vector<std::string>& paths) const;
    // The recorded commands, oldest first; nullopt when the journal is damaged.
    std::optional<std::vector<std::vector<TagSnapshot>>> load() const;
    // Puts back the newest command's old tags, file by file, skipping a file
    // changed since, and drops that command from the journal. nullopt for a
    // damaged journal, which is set aside as "tagjournal.damaged-TIME".
    std::optional<TagUndoOutcome> undoNewest() const;

private:
    void save(const std::vector<std::vector<TagSnapshot>>& commands) const;
    void trim() const;
    std::string m_path;
};

std::string defaultTagJournalPath();

// The journal keeps at least the newest 20 commands (up to 30 before it is
// trimmed), within a limit in bytes that always leaves the newest one.
inline constexpr std::size_t kTagJournalCommands = 20;
inline constexpr std::size_t kTagJournalBytes = 256u * 1024 * 1024;

} // namespace zentrio
