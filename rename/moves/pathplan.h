#pragma once

#include "platform/fs/fsops.h"
#include "rename/moves/diskpresence.h"
#include "rename/moves/targetfs.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// The check and order of a run of moves across folders, before anything
// moves. Every target must be free, or held by a file the run moves away
// first (a chain, done from its free end); files that take each other's
// paths (a cycle) go through a temporary name. Two files to one path, one
// file moved twice, a target held by anything else, a folder that is a
// file, a move to another file system, a new path too long for its file
// system and a folder the user cannot write in are conflicts, and then
// nothing may be done.
namespace zentrio {

// A file the run moves; both paths are absolute.
struct Move {
    std::string from;
    std::string to;
    fs::FileIdentity identity;
};

struct MoveRequest {
    Move move;
    TargetFs target; // the file system it lands on (its device 0: unknown)
};

struct PlanConflict {
    std::size_t request; // index into the requests
    std::string reason;
};

struct OrderedMoves {
    std::vector<std::string> madeFolders; // missing folders to make, parents first
    std::vector<Move> steps; // in their order; a cycle's first file goes to a temporary name and on last
    std::vector<PlanConflict> conflicts; // not empty: nothing may be done
};

// Requests whose target is their own path must not be given. Names that
// differ only in Unicode normalisation are one name; paths are
// compared without letter case where the target file system ignores it;
// a target that differs from its own path only in case is the file itself,
// renamed in two steps through a temporary name, each of them recorded.
// `listed` holds folders already listed (DiskNames::assume); the check
// lists the others it looks into.
OrderedMoves orderMoves(std::vector<MoveRequest> requests, DiskNames listed = {});

// The same check without the order: its conflicts and the folders to make,
// no steps. For a plan that is only shown; the requests are only read.
OrderedMoves checkMoves(std::span<const MoveRequest> requests, DiskNames listed = {});

// The prefix of the temporary names a cycle goes through (and a rename that
// changes only letter case on a volume that ignores it): hidden, so the
// window's list never shows one.
inline constexpr std::string_view kCycleNamePrefix = ".zentrio-cycle-";

// True when the path's last component is such a temporary name.
bool isCycleName(std::string_view path);

} // namespace zentrio
