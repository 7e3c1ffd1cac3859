#pragma once

#include "tags/dupes/dupemoves.h"
#include "tags/dupes/dupesearch.h"
#include "tags/dupes/withprogress.h"

// A group's digest is no proof: before the extra copies are moved, each is
// compared byte for byte with the file that stays (its audio span, and the
// format's description that is part of the key). A file whose bytes differ,
// or that changed or cannot be read since it was digested, leaves its group
// with a fault, and a group left with one file is no group any more.
namespace zentrio {

// `progress` as findDuplicates takes it (the stage "comparing"); false
// stops, and then false is returned and `found` must not be moved from.
bool confirmGroups(DupesFound& found, KeepRule rule, const DupeProgress& progress = {});

} // namespace zentrio
