#pragma once

#include "tags/write/tagvalues.h"

#include <map>
#include <optional>
#include <string>

// The values "tag set" is given, checked field by field before any file is
// read, as the tag they go to can hold them.
namespace zentrio::cli {

// The values as text; nullopt, with each fault said on stderr, when one
// cannot go into the tag: a track or disc that is not N or N/M, a year that
// is neither four digits nor a date (YYYY-MM or YYYY-MM-DD), or with
// `id3v1` a value the record has no room for. An empty value clears its
// field and is always taken.
std::optional<TagValues> checkedSetValues(const std::map<TagField, std::string>& given, bool id3v1);

// What the ID3v2 tag takes for the field, said as "N or N/M, ..."; empty
// when the value fits (any value of a field but track, disc and year).
QString valueFault(TagField field, const QString& value);

} // namespace zentrio::cli
