#pragma once

#include "rename/journal.h"
#include "rename/journalfolder.h"

#include <optional>

namespace zentrio {

struct UndoOutcome {
    int renamedBack = 0;
    int notUndone = 0; // files renamed, replaced or deleted since, or whose old name is taken
    std::optional<JournalRecord> remaining; // what may still be undone later
};

// Renames the record's files back, newest rename first, never over another
// file. A file counts as the one the record renamed when it is found under
// the new name with the recorded identity; one found under its old name was
// never renamed (the run stopped before it) and needs nothing. Files whose
// old name is taken stay in the remaining record, to try again later.
UndoOutcome undoRecord(const JournalRecord& record);

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
    bool inodesIdentify = true;
    std::vector<std::string> madeFolders; // parents first
    std::vector<EmptiedFolder> emptiedFolders;
    bool makeFolders = false; // make a missing folder a file goes back to
    bool dryRun = false; // decide, by the disk as it is, and change nothing
};

// The moves taken back newest first, each only for the file the run moved
// (its identity at the new path) and never over another file; then the
// folders the run made are removed where empty. The same rules as
// undoRecord, for moves across folders.
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

} // namespace zentrio
