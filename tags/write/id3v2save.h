#pragma once

#include "tags/write/frameedit.h"
#include "tags/write/id3v1record.h"

#include <vector>

#include <optional>
#include <string>

namespace zentrio {

// The bytes of a whole MP3 file (or of its start) with the named text
// frames of its ID3v2 tag set by TagLib (an empty text removes the frame).
// Every other frame stays as TagLib reads and writes it, and every byte after
// the tag stays. A file without a tag gets a new one of version 2.3; a tag
// keeps its version, except that 2.2 is written as 2.3. nullopt when TagLib
// cannot write the tag, or when writing it would change any byte after it.
std::optional<std::string> withId3v2Fields(const std::string& file, const std::vector<FrameValue>& values);
// The same with title, artist and album set to the edit's full texts.
std::optional<std::string> withId3v2Fields(const std::string& file, const TagEdit& edit);
std::vector<FrameValue> threeTexts(const TagEdit& edit);

// The new bytes of the file's tag region (`region` bytes: the tag with its
// padding, and any tags right after it), when the edited tag fits in them;
// `start` is the file's first bytes, the region and some that follow.
// nullopt when the tag must grow, or cannot be rewritten safely.
std::optional<std::string> id3v2RegionInPlace(
    const std::string& start, std::size_t region, const std::vector<FrameValue>& values);

} // namespace zentrio
