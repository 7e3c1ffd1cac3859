#pragma once

#include "tags/write/oggpage.h"
#include "tags/write/tagvalues.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An Ogg Vorbis or Opus file's header pages as a tag write replaces them,
// and nothing after them: the comment header takes the new values, every
// other comment (pictures too) keeps its bytes and its place, and the
// headers after the first page are laid out again into as many pages as
// they filled. So every audio page keeps its bytes, its sequence number
// included, and a write never moves the audio.
namespace zentrio {

// Where the header pages end: the first audio page. nullopt for the files
// the headers' walk refuses (see oggHeadersOf).
std::optional<std::size_t> oggRegionEnd(const OggReadAt& read, std::int64_t length);

// The header pages with the values in the comment; the same size when the
// comment keeps its size. nullopt when the region does not parse, or the new
// headers do not fit in the pages the old ones filled (255 segments of 255
// bytes a page): such a write is refused rather than renumber every page.
std::optional<std::string> oggRegionWithValues(std::string_view region, const TagValues& values);

} // namespace zentrio
