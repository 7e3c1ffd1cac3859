#pragma once

#include "rename/moves/pathplan.h"

#include <functional>
#include <string>
#include <vector>

// A run's changes of names made to last through a power cut. A name made,
// renamed or removed lasts only once its folder is synced, each folder on
// its own; so the folders are synced in an order that never leaves a file
// at neither of its paths: a folder made before anything is moved into it,
// the folders files went into before the folders they left (a cut between
// the two leaves a file under both names, one file, which undo settles),
// and a folder's removal once what it held lies synced elsewhere. The
// folders of one step are synced at once, as the moves are made.
namespace zentrio {

// Syncs each folder once, all at once; false when one could not be synced.
bool syncFoldersAtOnce(const std::vector<std::string>& folders);

// The folders a run made or removed, synced into their parents.
bool syncIntoParents(const std::vector<std::string>& folders);

// The moves for which `made` says true: the folders they went into synced,
// then the folders they left.
bool syncMoves(const std::vector<Move>& moves, const std::function<bool(std::size_t)>& made);

} // namespace zentrio
