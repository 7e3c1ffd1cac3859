#pragma once

#include "rename/journal.h"
#include "rename/journalfolder.h"
#include "rename/runtrace.h"
#include "rename/undomoves.h"

#include <optional>

namespace zentrio {

// The newest run of the history undone, whichever program made it; runs
// recorded by the previous version's single-file journal come after the
// history's own, which are all newer.
struct NewestUndo {
    enum class Status {
        Nothing, // no run to undo
        Undone,
        InProgress, // the newest run is still going on in another program
        Damaged, // its record cannot be read; set aside, older runs stay
        Unavailable, // the journal cannot be locked or read
        Dropped, // forgotten without an undo: result.remaining holds the moves it had made
    } status
        = Status::Nothing;
    RunKind kind = RunKind::Folder;
    RunOrigin origin = RunOrigin::Window;
    std::string folder; // a Folder run's folder
    std::int64_t time = 0;
    MovesUndone result;
    std::vector<std::string> playlistsRestored; // playlists the run rewrote, back as they were
    std::vector<RewrittenFile> playlistInodes; // told to the older runs once the history's lock is let go
    std::string error;
};
NewestUndo undoNewestRun(const RunHistory& history, const std::string& legacyJournal, bool dryRun = false);

// The newest run forgotten without being undone, so that the runs before it
// can be undone: for a run whose files cannot all come back (their old
// paths are taken for good, the files were deleted).
NewestUndo dropNewestRun(const RunHistory& history, const std::string& legacyJournal);

} // namespace zentrio
