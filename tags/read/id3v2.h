#pragma once

#include "tags/read/trailer.h"

#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reading the ID3v2 tag at a file's start, through TagLib.
namespace zentrio {

inline constexpr std::size_t kId3v2HeaderSize = 10;

// The whole tag's size in bytes (header, frames, padding and footer) when
// the bytes begin with a well-formed ID3v2 header; 0 otherwise.
std::size_t id3v2TagSize(std::string_view header);

// The bytes at the file's start that a tag rewrite replaces: the tag, and
// any further tags that follow it directly (TagLib takes those for copies of
// the first and writes over them). 0 when the file starts with no tag.
std::size_t id3v2RegionSize(std::string_view file);

// The fields of an ID3v2 tag given as its bytes, header included: full
// Unicode text, trimmed of spaces, the values of a frame that holds several
// joined by " / ". nullopt when the bytes are no readable tag or the tag
// holds none of the fields.
std::optional<TagFields> id3v2FieldsOf(std::string_view tagBytes);

// True when the fields give a title, artist or album: an ID3v2 tag without
// any of the three gives way to an ID3v1 record.
bool namesTheSong(const TagFields& fields);

// The first value of the first frame with this id, as TagLib decodes it;
// empty when the tag has no such frame.
QString id3v2FirstText(std::string_view tagBytes, const char* id);
// Every value of the first text frame with this id.
QStringList id3v2FirstValues(std::string_view tagBytes, const char* id);

} // namespace zentrio
