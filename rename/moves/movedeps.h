#pragma once

#include "rename/moves/pathplan.h"

#include <array>
#include <cstdint>
#include <vector>

// Which step of a run of moves must come after which. A step that moves a
// file to a path an earlier step leaves waits for that step (a chain, and
// each step of a cycle); a step that moves a file on from where an earlier
// step put it waits for that one (a cycle's temporary name). Any order that
// keeps these is as good as the recorded one, so steps that wait for
// nothing may be made at once, and undone at once. Paths are compared by
// their caseless keys of their composed (NFC) forms, and the steps that touch one key keep their order:
// on a volume that ignores case no order is missed, elsewhere at worst an
// order is kept that was not needed.
namespace zentrio {

inline constexpr std::uint32_t kNoStep = UINT32_MAX;

// Each step's earlier steps it waits for (kNoStep where there is none).
using StepWaits = std::array<std::uint32_t, 2>;
std::vector<StepWaits> stepWaits(const std::vector<Move>& steps);

// The other direction: for each step, the later steps that wait for it, as
// ranges of `steps` (later[first[i] .. first[i + 1]) for step i).
struct LaterSteps {
    std::vector<std::uint32_t> first; // one more than there are steps
    std::vector<std::uint32_t> steps;
};
LaterSteps laterSteps(const std::vector<StepWaits>& waits);

} // namespace zentrio
