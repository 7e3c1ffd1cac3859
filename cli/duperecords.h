#pragma once

#include "cli/pathdisplay.h"
#include "tags/dupes/dupesearch.h"

#include <string>

// What "dupes" writes of a group: a block of text (a line saying the group,
// then one line a file: its size, path, artist, album and song, tab-separated,
// then an empty line), its paths each ended by a NUL and an empty record
// after the group, or one JSON object a line.
namespace zentrio::cli {

struct DupeFormat {
    DupeKind kind = DupeKind::Audio;
    bool nul = false;
    bool json = false;
};

// The group's block, ended.
std::string groupRecord(const DupeFormat& format, const DupesFound& found, const DupeGroup& group,
    const PathDisplay& display);

} // namespace zentrio::cli
