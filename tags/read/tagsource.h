#pragma once

#include "platform/fs/fsops.h"
#include "tags/read/trailer.h"

#include <optional>
#include <string>

namespace zentrio {

// Which tag gives a file's song, artist and album.
enum class TagSource {
    Id3v1, // the trailer rule alone
    Id3v2First, // an ID3v2 tag at the file's start with a title, artist or album; else the trailer rule
};

// Song, artist and album of the file at path, by the chosen source. nullopt
// is a read failure, the same for both sources: the file is missing,
// unreadable, not a regular file, or 256 bytes long or shorter. A damaged
// ID3v2 tag is no failure: the trailer rule gives the fields then.
std::optional<TagFields> readFileTag(const std::string& path, TagSource source);

// The fields of an ID3v2 region in memory, when its tag holds a title, an
// artist or an album (the rule by which it wins over the ID3v1 record).
std::optional<TagFields> id3v2FieldsOfRegion(std::string_view region);

// The same rule over bytes already read: the ID3v2 region (empty: none)
// first, then the trailer window and the file's last byte (257 bytes).
TagFields tagFieldsOf(std::string_view region, std::string_view tail, TagSource source);

// The same read, with the identity of the file that was read. A file of
// another audio format than MP3, by its name, is read by its own format's
// rules (tags/read/formattags.h) whatever the source.
struct IdentifiedTag {
    TagFields tag;
    fs::FileIdentity identity;
};
std::optional<IdentifiedTag> readIdentifiedTag(const std::string& path, TagSource source);
// The same read of the file `name` in the folder open as `folderFd`, whose
// path is `path` (an MP3 file is opened without walking the folder's path).
std::optional<IdentifiedTag> readIdentifiedTagIn(
    int folderFd, const std::string& name, const std::string& path, TagSource source);

} // namespace zentrio
