#pragma once

#include "cli/output.h"
#include "platform/fs/patchfile.h"
#include "tags/read/tagsource.h"
#include "tags/write/tagvalues.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What "tag set" and "tag from-name" share: the files below the paths given,
// the values each gets, the changes shown from what to what, and the
// batch written with its journal record.
namespace zentrio::cli {

struct TagRunOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    bool id3v1 = false; // the ID3v1 record only
    bool dryRun = false;
    bool json = false;
    bool keepTime = false; // each file written keeps its modification time
    std::string ext; // --ext: the formats taken (empty: every one)
    std::optional<std::string> query; // -q: only the files that match are written
};

// A file's new values, by its path below the path named on the command line
// that reached it (raw bytes: "Artist/Album/01 - Song.mp3" below a folder
// named, the file's name alone for a file named); nullopt: it does not match.
using ValuesOf = std::function<std::optional<TagValues>(const std::string& below)>;

// Returns the exit status.
int runTagBatch(const TagRunOptions& options, const ValuesOf& valuesOf);

// Said once while another tag command holds the journal; false once Ctrl-C was pressed.
bool waitingForOtherCommand();
// What the repair of interrupted tag writes did, on stderr.
void reportRepair(const fs::RepairOutcome& repaired);

} // namespace zentrio::cli
