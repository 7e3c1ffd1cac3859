#pragma once

#include "tags/read/tagsource.h"

#include <string>
#include <vector>

namespace zentrio {

inline constexpr std::size_t kMaxMp3Files = 3000;

// The names of a folder's entries whose last four characters, lower-cased,
// are ".mp3" (subfolders included), sorted by their bytes.
struct Mp3Listing {
    enum class Outcome { Listed, ListingFailed, TooMany } outcome = Outcome::Listed;
    std::vector<std::string> names; // empty unless Listed
};
Mp3Listing listMp3Names(const std::string& folder);

struct ScanRow {
    std::string name;
    TagFields tag;
};

// The folder scan without widgets: the sorted MP3 names with their tags. A
// file that cannot be read ends the scan; the rows before it are kept.
struct FolderScan {
    enum class Outcome { Scanned, ListingFailed, TooMany, ReadFailed } outcome = Outcome::Scanned;
    std::vector<ScanRow> rows;
};
FolderScan scanFolder(const std::string& folder, TagSource source = TagSource::Id3v1);

} // namespace zentrio
