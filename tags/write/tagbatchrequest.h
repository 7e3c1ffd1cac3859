#pragma once

#include "tags/read/tagsource.h"
#include "tags/write/tagwrite.h"

#include <string>
#include <utility>
#include <vector>

namespace zentrio {

// What a tag window asks to write: the files it showed, in the folder it
// showed them from, by the tag source it showed. The main window writes
// exactly these, whatever it lists by the time "apply" is pressed.
struct TagBatchRequest {
    std::string folder;
    TagSource source = TagSource::Id3v1;
    std::vector<std::pair<std::string, TagValues>> files; // names in the folder, with their new values
    int unmatched = 0; // files shown that get no values
};

} // namespace zentrio
