#pragma once

#include "rename/journal.h"
#include "rename/journalfolder.h"

#include <optional>

namespace zentrio {

// A file undo did not bring back, and why.
struct LeftAlone {
    std::string path;
    std::string reason;
};

struct MovesUndone {
    int movedBack = 0; // files back at their old paths
    int notUndone = 0;
    int foldersRemoved = 0; // folders the run made, removed again once empty
    int foldersMade = 0; // folders the run emptied and removed, made again
    std::vector<Move> back; // each move undone, as it was made
    std::vector<LeftAlone> leftAlone;
    std::vector<Move> remaining; // old path taken: may be undone later, in run order
};

struct UndoMoves {
    std::vector<Move> moves; // in the order the run made them
    Recognition recognition;
    std::vector<std::string> madeFolders; // parents first
    std::vector<EmptiedFolder> emptiedFolders;
    bool makeFolders = false; // make a missing folder a file goes back to
    bool dryRun = false; // decide, by the disk as it is, and change nothing
};

// The moves taken back newest first, each only for the file the run moved
// (its identity at the new path) and never over another file; then the
// folders the run made are removed where empty. A file found under its old
// name was never moved (the run stopped before it) and needs nothing; one
// whose old name is taken stays in `remaining`, to try again later.
MovesUndone undoMoves(const UndoMoves& request);

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
    std::string error;
};
NewestUndo undoNewestRun(const RunHistory& history, const std::string& legacyJournal, bool dryRun = false);

// The newest run forgotten without being undone, so that the runs before it
// can be undone: for a run whose files cannot all come back (their old
// paths are taken for good, the files were deleted).
NewestUndo dropNewestRun(const RunHistory& history, const std::string& legacyJournal);

} // namespace zentrio
