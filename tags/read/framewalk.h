#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Walking the frame headers of an ID3v2 tag, so that only the frames a name
// can use are read: title, artist, album, track, disc, year, genre and album
// artist. Every other frame, a cover picture included, is stepped over.
namespace zentrio {

// The bytes at [offset, offset + count) of the file, or fewer where the file
// or the tag ends first.
using ReadBytes = std::function<std::string_view(std::size_t offset, std::size_t count)>;

// A tag of the same version made of the wanted frames alone, for TagLib to
// decode, given the tag's 10-byte header and its size (header included,
// footer excluded). Reading forgives as the best readers do: an empty frame
// is skipped, not taken for the end of the frames; a version 2.4 frame size
// written as a plain number is read as one when the syncsafe reading lands
// on no frame; a frame running past the tag's end ends the walk with what
// was read before it. nullopt where the walker cannot follow the tag
// (version 2.2, whole-tag unsynchronisation, a wanted frame compressed or
// encrypted): the whole tag is read then.
std::optional<std::string> wantedFrames(std::string_view header, std::size_t tagSize, const ReadBytes& read);

// One frame as it lies in a tag's bytes.
struct FrameSpan {
    std::string id; // four characters (three in version 2.2)
    std::size_t offset = 0; // of its 10-byte header, from the tag's first byte
    std::size_t size = 0; // header and body
    std::uint8_t formatFlags = 0; // the second flag byte (compression, encryption, unsynchronisation...)
};

// Where each frame of a whole version 2.2, 2.3 or 2.4 tag lies, read as the walk
// above reads them. `end` is where the frames end (the padding begins);
// `clean` is false when the walk stopped at bytes that are no frame, or at
// a frame running past the tag's end. nullopt where the walk cannot follow
// the tag at all.
struct FrameLayout {
    std::uint8_t version = 0;
    std::size_t start = 0; // the first frame, after any extended header
    std::vector<FrameSpan> frames;
    std::size_t end = 0;
    bool clean = false;
};
std::optional<FrameLayout> frameLayout(std::string_view tag);

} // namespace zentrio
