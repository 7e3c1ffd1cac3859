#pragma once

#include "rename/history/journalfolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// An older run taken back by its number: only while no newer run kept in
// the history touched what it did. A newer run touches it when it moved a
// file this run moved, put a file where one of this run's files goes back
// to, or made, emptied or moved within a folder this run made or emptied.
// A newer run whose moves cannot all be known (still going on, its record
// damaged) is taken to touch it.
namespace zentrio {

struct NewerTouch {
    std::uint64_t run = 0; // the newer run's number
    std::string reason;
};

// `made`: the moves of `older` that were made. The first newer run (of
// `newer`, the files after it) that touches them, if any.
std::optional<NewerTouch> newerRunTouching(
    const RunRecord& older, const std::vector<Move>& made, const std::vector<RunFile>& newer);

} // namespace zentrio
