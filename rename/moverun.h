#pragma once

#include "rename/journalfolder.h"
#include "rename/pathplan.h"

#include <atomic>
#include <functional>

// Performs a checked, recorded run of moves: the missing folders first,
// then every move in its order, each a rename that never replaces another
// file (fs::renameExclusive: a rename that changes only letter case is
// two steps of the plan, through its own temporary name); then the folders
// the run emptied are removed. Marks go to the
// run's record as it goes, so that undo knows how far it got.
namespace zentrio {

// Moves past the last mark that may have begun; marks are synced, so one
// is written every so many moves, not after each.
inline constexpr std::size_t kMarkBatch = 256;

struct MovesDone {
    RunEnd end = RunEnd::Completed;
    std::size_t done = 0; // the first `done` steps were made
    std::string failure; // why the step after them failed
    int foldersMade = 0;
    int foldersRemoved = 0;
};

// Before each move the file at its old path must still be the one planned
// (by `recognition`): another file there (replaced, or renamed into that
// name since the tags were read) stops the run, unmoved. A failure stops the
// run before the next move; so does `stop`, checked between moves (Ctrl-C).
// A mark that cannot be written stops it too, since undo would not know of
// the moves after it. `progress` runs after each move.
MovesDone performMoves(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied, RunWriter& journal,
    const std::atomic<bool>& stop, const std::function<void(std::size_t done)>& progress = {},
    const Recognition& recognition = {});

} // namespace zentrio
