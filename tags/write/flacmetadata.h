#pragma once

#include "tags/read/flacblocks.h"
#include "tags/write/tagvalues.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A FLAC file's metadata as a tag write replaces it, and nothing after it: the comment block takes
// the new values, every other block (pictures, seek table, cue sheet)
// keeps its bytes and its place, and the padding gives or takes the room.
namespace zentrio {

// The region with the values in its comment: the same size when the
// padding has room for the change, else grown with 4 KiB of padding to
// spare. nullopt when the region does not parse.
std::optional<std::string> flacRegionWithValues(std::string_view region, const TagValues& values);

} // namespace zentrio
