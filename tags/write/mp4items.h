#pragma once

#include "tags/write/tagvalues.h"

#include <optional>
#include <string>
#include <string_view>

// An MP4 item list (the body of moov/udta/meta/ilst) edited item by item:
// the items the values name are rendered anew where the first of them
// stood, every other item (cover art, freeform "----" items, sort names...)
// keeps its bytes and its place, and an item the list did not hold goes at
// its end. TagLib offers no call that renders items alone, and its own save
// writes the whole list anew in the order of its item map, so the list is
// edited here; TagLib still reads every result back before it is written.
namespace zentrio {

// The list with the values: text as UTF-8 "data" atoms (type 1), the track
// and disc as number pairs, a track or disc without a total keeping the old
// total. A genre's text replaces a numeric genre ("gnre"); an empty value
// removes the field's items. nullopt when the list does not parse, or a
// number is none a pair can hold (0 to 65535).
std::optional<std::string> withMp4Items(std::string_view items, const TagValues& values);

} // namespace zentrio
