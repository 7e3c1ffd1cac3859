#pragma once

#include "rename/history/journalrecord.h"

#include <string>
#include <vector>

// A run's moves taken back on the disk. Undo decides by the disk, move by
// move, so an undo ended at any moment is finished by the next one.
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
    // A dry run: files undo takes from their folders after the moves (the
    // carried playlists that go back, a killed rewrite's copies): a folder
    // they alone keep is removed.
    std::vector<std::string> leaveAfter;
};

// The moves taken back, each only for the file the run moved (its identity
// at the new path) and never over another file; then the folders the run
// made are removed where empty. A file found under its old name was never
// moved (the run stopped before it) and needs nothing; one whose old name is
// taken stays in `remaining`, to try again later. Up to 16 moves are taken
// back at once, each after the moves that waited for it in the run (a
// chain from its other end, a cycle through its temporary name), so the
// outcome is that of taking them back newest first. A dry run decides
// newest first, by the disk as it is with the moves it would have made laid
// over it.
MovesUndone undoMoves(const UndoMoves& request);

} // namespace zentrio
