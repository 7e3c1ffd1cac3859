#pragma once

#include "rename/history/journalrecord.h"

#include <cstdint>
#include <vector>

// How far a recorded run got: the steps it made, in their recorded order.
// The marks and the end of its record name the steps made for certain. Of
// a run cut short (killed, or the machine went down), the steps after its
// last mark that may have begun are looked at on the disk: such a step
// counts as made when the steps it waits for were made and its file is not
// still at its old path while missing from its new one. Where files are
// known by size and time only, this keeps undo from taking another file of
// the same size at a step's target for the one the step would have moved.
namespace zentrio {

std::vector<std::uint32_t> stepsMade(const RunRecord& record, const RunProgress& progress);

} // namespace zentrio
