#pragma once

#include "platform/fs/patchfile.h"
#include "tags/write/taglayout.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The writes that give a file whose tags follow its audio a new end region,
// for a tag write and for its undo alike: no byte before the region moves.
namespace zentrio {

struct EndRegionWrites {
    std::vector<fs::Patch> patches; // the runs that change, at their offsets in the file
    std::optional<std::int64_t> newLength; // the file is cut there: the new region is shorter
};

// The new region's runs that differ from the old one's, written at the
// region's offset (a longer one extends the file), a cut where it is
// shorter, and the header's size field (RIFF, FORM) where the length
// changes; the crash copy of patchFiles keeps the old bytes of each.
// nullopt when the layout's format keeps no end region, or the file could
// not be that long.
std::optional<EndRegionWrites> endRegionWrites(const TagLayout& layout, std::string_view region);

} // namespace zentrio
