#pragma once

#include "platform/fs/fsops.h"
#include "platform/fs/statedir.h"
#include "rename/history/plannedrename.h"

#include <optional>
#include <string>
#include <vector>

// The rename journal of earlier versions: what each batch run and each
// single-file rename did, so that it can be undone, even after a restart or
// a crash. Runs are now recorded in the run history; this journal is still
// read, repaired and trimmed by undo, and its runs come after the history's.
namespace zentrio {

inline constexpr std::size_t kJournalRecords = 20;

struct JournalRecord {
    std::string folder; // raw bytes
    bool inodesIdentify = true; // false: files are matched by name and size
    std::vector<PlannedRename> renames; // in the order the run makes them
};

// $XDG_STATE_HOME/zentrio/journal, by default ~/.local/state/zentrio/journal.
std::string defaultJournalPath();

class RenameJournal {
public:
    explicit RenameJournal(std::string path);

    enum class State { Empty, Loaded, Damaged };
    struct Contents {
        State state = State::Empty;
        std::vector<JournalRecord> records; // the whole ones, oldest first, at most kJournalRecords
    };
    Contents load() const;

    // Sets a damaged journal aside and writes its whole records anew.
    bool repair(const Contents& contents) const;

    // Replaces the newest record with what is left of it, or drops it.
    bool replaceNewest(const std::optional<JournalRecord>& remaining) const;

    // Writes these records as the whole journal, in place of what it held,
    // by a new file renamed over it.
    bool write(const std::vector<JournalRecord>& records) const;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Text form of the records. parseJournal keeps every whole record, drops a
// last one whose append was cut short, and marks the text damaged when its
// header or any other record does not parse.
struct ParsedJournal {
    std::vector<JournalRecord> records;
    bool damaged = false;
};
std::string formatRecord(const JournalRecord& record);
std::string formatJournal(const std::vector<JournalRecord>& records);
ParsedJournal parseJournal(std::string_view text);

} // namespace zentrio
