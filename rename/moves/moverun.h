#pragma once

#include "rename/history/journalfolder.h"
#include "rename/moves/pathplan.h"

#include <atomic>
#include <functional>
#include <optional>

// Performs a checked, recorded run of moves: the missing folders first,
// then the moves, each a rename that never replaces another file
// (fs::renameExclusive; a rename that changes only letter case is two steps
// of the plan, through its own temporary name); then the folders the run
// emptied are removed. Up to 16 moves are made at once, each as soon as the
// moves it waits for are made (rename/moves/movedeps.h: a chain in its order, a
// cycle through its temporary name), so on a share or a USB disk their waits
// overlap. Marks go to the run's record as it goes, so that undo knows how
// far it got. The folders made, the moves made and the folders removed are
// synced in the order rename/moves/movesync.h gives, so that a run that
// ended lasts through a power cut and one cut short leaves no file lost.
namespace zentrio {

// Moves past the last mark that may have begun: no move further on starts
// before a later mark is synced. Marks are written every half batch.
inline constexpr std::size_t kMarkBatch = 1024;

struct MovesDone {
    RunEnd end = RunEnd::Completed;
    std::size_t done = 0; // the first `done` steps were made
    std::vector<std::size_t> alsoDone; // and these after them (made at once with an earlier one that failed)
    std::string failure; // why the run stopped
    std::optional<std::size_t> failedStep; // the move that failed, if one did
    int foldersMade = 0;
    int foldersRemoved = 0;
    bool made(std::size_t step) const;
};

// Before each move the file at its old path must still be the one planned
// (by `recognition`): another file there (replaced, or renamed into that
// name since the tags were read) stops the run, unmoved. A failure stops new
// moves, and those under way finish; so does `stop` (Ctrl-C). A mark that
// cannot be written stops the run too, since undo would not know of the
// moves after it. The record's end names every move made. `progress` is
// told, on the calling thread, how many moves are made. `beforeEnd` is
// called once the moves are over, before the end is written.
MovesDone performMoves(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied, RunWriter& journal,
    const std::atomic<bool>& stop, const std::function<void(std::size_t done)>& progress = {},
    const Recognition& recognition = {}, const std::function<void(const MovesDone&)>& beforeEnd = {});

// Makes the folders, parents first, those of one depth at once; false with
// the reason at the first that cannot be made. `modes` gives a folder's
// permissions (0777 less the umask otherwise).
bool makeFoldersAtOnce(const std::vector<std::string>& folders, int& made, std::string& failure,
    const std::function<unsigned(const std::string&)>& modes = {});
// Removes the folders that are empty, deepest first, those of one depth at
// once; the count removed.
int removeEmptyFoldersAtOnce(std::vector<std::string> folders);

} // namespace zentrio
