#pragma once

#include "rename/history/journalfolder.h"
#include "rename/history/undomoves.h"

#include <cstdint>
#include <string>
#include <vector>

// Moves a power cut left half made. A move between two folders lasts once
// both folders are synced, the new one first (rename/moves/movesync.h); cut
// between the two syncs, the file is under both names, one file with two
// links. The start-up repair (before a rename, a move, an undo, and when
// the window opens) keeps one name of each such move and removes the other:
// - of a run cut short (its started marker stayed behind), the new name:
//   the move was made and its new folder holds it durably; the record says
//   the move may be made, so an undo still finds the file there and takes
//   it back, and a later move of the run may already stand on the freed
//   old name's folder;
// - of an undo cut short (its "undoing" marker stayed behind), the old
//   name: that is where the undo had put the file back.
// A name is removed only where both names are one file (same device and
// inode, more than one link), in two different folders, and the file is
// the one the run recorded; a different file at the other name is left.
namespace zentrio {

struct SettledMoves {
    int settled = 0; // names removed, the file kept at its other name
    std::vector<LeftAlone> unsettled; // a file left under both names, and why
};

SettledMoves settleCutMoves(const RunHistory& history);

// Left (synced) in the history's folder before an undo of run `number`
// moves files between folders; its path, empty where it cannot be left.
// The undo removes it before it syncs the run's record as left.
std::string leaveUndoMarker(const RunHistory& history, std::uint64_t number);

// True when some move goes from one folder to another.
bool crossesFolders(const std::vector<Move>& moves);

} // namespace zentrio
