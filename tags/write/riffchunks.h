#pragma once

#include "tags/write/endregion.h"

#include <optional>
#include <string>
#include <string_view>

// A WAV (RIFF, little-endian sizes) or AIFF (FORM, big-endian sizes) file's
// ID3 tag as a tag write replaces it. The tag is an ID3v2 tag in an "ID3 "
// chunk (or "id3 "), which taggers put after the audio chunk (WAV "data",
// AIFF "SSND"); chunks that hold no audio may follow it (TagLib appends an
// INFO list after it). The region runs from that chunk to the file's end;
// a file without one has an empty region at its end, and gets the chunk
// appended. The frames of the tag are set by the frame editor, so every
// other frame keeps its bytes and order, and the tag keeps its size where
// its padding has room.
namespace zentrio {

// The region's place: nullopt unless the header's size is the file's
// length less 8, every chunk (each padded to an even size) ends within the
// file and the last one where the file ends, there is one audio chunk and
// at most one ID3 chunk, after the audio.
std::optional<EndRegionPlace> wavRegionPlace(const RegionReadAt& read, std::int64_t length);
std::optional<EndRegionPlace> aiffRegionPlace(const RegionReadAt& read, std::int64_t length);

// The region with the values in its ID3 tag (a new version 2.3 tag in a
// new chunk for an empty region), the chunks after it kept byte for byte.
// nullopt when the chunk does not begin with an ID3v2 tag the frame editor
// takes apart (unsynchronised as a whole, with a footer...).
std::optional<std::string> riffRegionWithValues(std::string_view region, const TagValues& values);
std::optional<std::string> aiffRegionWithValues(std::string_view region, const TagValues& values);

} // namespace zentrio
