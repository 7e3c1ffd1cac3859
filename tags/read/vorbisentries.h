#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A Vorbis comment's entries as they lie (FLAC's VORBIS_COMMENT block body):
// the vendor, then "KEY=value" entries in their order, each key as the file
// spells it, values in UTF-8.
namespace zentrio {

struct VorbisEntry {
    std::string key;
    std::string value;
};

struct VorbisComment {
    std::string vendor;
    std::vector<VorbisEntry> comments;
    std::string trailing; // bytes after the last entry (a framing bit), kept as they are
};

// nullopt when a length runs past the body or an entry has no "=".
std::optional<VorbisComment> parseVorbisComment(std::string_view body);

} // namespace zentrio
