#pragma once

#include "tags/write/endregion.h"
#include "tags/write/startregion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An MP4 file's metadata as a tag write replaces it: every top-level atom
// from the file's start through the movie atom (moov), and the free atoms
// right after it, which give or take the room of a change. The audio
// (mdat) follows; its chunk offsets, kept in moov, move with it when the
// region grows.
namespace zentrio {

// The region's length: nullopt unless the file holds one moov, before any
// mdat, no movie fragments (moof), and top-level atoms that end where the
// file ends. A file whose moov follows its audio (as written without "fast
// start") has its region at its end instead (mp4EndRegionPlace).
std::optional<std::size_t> mp4RegionEnd(const RegionReadAt& read, std::int64_t length);

// The region with the values in moov/udta/meta/ilst (each made when
// missing): the same size when the free atoms have room for the change,
// else grown with 4 KiB of free space to spare after moov and every chunk
// offset behind the region moved by the growth. nullopt when the region
// does not parse or an offset cannot move.
std::optional<std::string> mp4RegionWithValues(std::string_view region, const TagValues& values);

// The region of a file whose moov follows its audio: moov and the free
// atoms after it, through the file's end. nullopt unless the file holds one
// moov, after its one mdat, no movie fragments, only free atoms after moov
// and top-level atoms that end where the file ends.
std::optional<EndRegionPlace> mp4EndRegionPlace(const RegionReadAt& read, std::int64_t length);

// The same write into such a region: when it grows, the free space to
// spare goes after moov at the file's end, and no chunk offset moves, as
// the audio stays where it is.
std::optional<std::string> mp4EndRegionWithValues(std::string_view region, const TagValues& values);

} // namespace zentrio
