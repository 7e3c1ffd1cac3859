#pragma once

#include "rename/history/journal.h"
#include "rename/history/journalfolder.h"
#include "rename/history/runtrace.h"
#include "rename/history/undomoves.h"

#include <optional>

namespace zentrio {

// A run of the history undone, whichever program made it: the newest, or
// one named by its number; runs recorded by the previous version's
// single-file journal come after the history's own, which are all newer.
struct NewestUndo {
    enum class Status {
        Nothing, // no run to undo
        Undone,
        InProgress, // the run is still going on in another program
        Damaged, // its record cannot be read; set aside, older runs stay
        Unavailable, // the journal cannot be locked or read
        Dropped, // forgotten without an undo: result.remaining holds the moves it had made
        Blocked, // a newer run touched what it did (`blockedBy`, `error`): nothing changed
        NoSuchRun, // no run of that number is kept (`error`)
    } status
        = Status::Nothing;
    std::uint64_t id = 0; // the run's number in the history (0: the previous journal's)
    RunKind kind = RunKind::Folder;
    RunOrigin origin = RunOrigin::Window;
    std::string folder; // a Folder run's folder
    std::int64_t time = 0;
    MovesUndone result;
    std::vector<std::string> playlistsRestored; // playlists the run rewrote, back as they were
    std::vector<RewrittenFile> playlistInodes; // told to the older runs once the history's lock is let go
    std::string error;
    std::uint64_t blockedBy = 0;
    // A record damaged in part: what is lost, the moves whose state cannot
    // be known (left as they are), and where the record was kept as it was.
    RecordDamage damage;
    std::vector<Move> unknown;
    std::string keptAside;
};

struct UndoRequest {
    std::optional<std::uint64_t> run; // its number; none: the newest
    enum class Action { Undo, DryRun, Drop } action = Action::Undo;
};
NewestUndo undoRun(const RunHistory& history, const std::string& legacyJournal, const UndoRequest& request);

NewestUndo undoNewestRun(const RunHistory& history, const std::string& legacyJournal, bool dryRun = false);

// The newest run forgotten without being undone, so that the runs before it
// can be undone: for a run whose files cannot all come back (their old
// paths are taken for good, the files were deleted).
NewestUndo dropNewestRun(const RunHistory& history, const std::string& legacyJournal);

} // namespace zentrio
