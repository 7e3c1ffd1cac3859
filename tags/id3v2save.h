#pragma once

#include "tags/tagsave.h"

#include <optional>
#include <string>

namespace zentrio {

// The bytes of a whole MP3 file with the title, artist and album of its
// ID3v2 tag set to the edit's full texts (an empty text removes that frame).
// Every other frame stays as it was, and so does every byte after the tag.
// A file without a tag gets a new one of version 2.3; a tag keeps its
// version, except that 2.2 is written as 2.3. nullopt when TagLib cannot
// write the tag, or when writing it would change any byte after it.
std::optional<std::string> withId3v2Fields(const std::string& file, const TagEdit& edit);

// The new bytes of the file's tag region (`region` bytes: the tag with its
// padding, and any tags right after it), when the edited tag fits in them;
// `start` is the file's first bytes, the region and some that follow.
// nullopt when the tag must grow, or cannot be rewritten safely.
std::optional<std::string> id3v2RegionInPlace(const std::string& start, std::size_t region, const TagEdit& edit);

} // namespace zentrio
