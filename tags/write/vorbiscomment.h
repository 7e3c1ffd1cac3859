#pragma once

#include "tags/write/tagvalues.h"

#include <optional>
#include <string>
#include <string_view>

// A Vorbis comment (FLAC's VORBIS_COMMENT block body) edited field by
// field: the named fields take their new values where they stood, every
// other comment keeps its bytes and its place, and a field the comment did
// not hold is added at its end. TagLib would render the whole comment anew,
// in the order of its own table.
namespace zentrio {

// The comment with the values: a field's first comment takes the value
// under its own key's spelling and its further comments go; an empty value
// removes them all. A track or disc without a total keeps the old total,
// in the form the comment held it ("3/12", or TRACKTOTAL/TOTALTRACKS). A
// date goes into DATE (into YEAR where the comment has a YEAR and no DATE).
// A field with several keys keeps one: the others of its keys go.
// nullopt when the body does not parse.
std::optional<std::string> withVorbisValues(std::string_view body, const TagValues& values);

// An empty comment with the vendor "Zentrio", for a file without one.
std::string emptyVorbisComment();

} // namespace zentrio
