#pragma once

#include "tags/write/tagvalues.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A FLAC file's metadata as it lies at the file's start: any ID3v2 tags
// before it, "fLaC", then its blocks up to the first audio frame. A tag
// write replaces this region and nothing after it: the comment block takes
// the new values, every other block (pictures, seek table, cue sheet)
// keeps its bytes and its place, and the padding gives or takes the room.
namespace zentrio {

struct FlacBlock {
    std::uint8_t type = 0; // 1 padding, 4 Vorbis comment, 6 picture...
    std::size_t offset = 0; // of its 4-byte header
    std::size_t length = 0; // of its body
};

struct FlacMetadata {
    std::size_t marker = 0; // where "fLaC" stands
    std::vector<FlacBlock> blocks;
    std::size_t end = 0; // the first byte after the metadata: the audio
};

using ReadAt = std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)>;

// The metadata of a file `length` bytes long; nullopt when it is no FLAC
// file, or its blocks claim more bytes than it holds.
std::optional<FlacMetadata> flacMetadataOf(const ReadAt& read, std::int64_t length);

// The region with the values in its comment: the same size when the
// padding has room for the change, else grown with 4 KiB of padding to
// spare. nullopt when the region does not parse.
std::optional<std::string> flacRegionWithValues(std::string_view region, const TagValues& values);

} // namespace zentrio
