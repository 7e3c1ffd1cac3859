#pragma once

#include "tags/read/audiofile.h"
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

// The same listing by the names of audio files of `formats` (the window's
// "all formats" switch lists every format). With MP3 alone it is
// listMp3Names; with more formats subfolders are left out.
Mp3Listing listAudioNames(const std::string& folder, AudioFormats formats);

struct ScanRow {
    std::string name;
    TagFields tag;
};

// The folder scan without widgets: the sorted names of the audio files of
// `formats` (MP3 alone by default) with their tags, each read by its own
// format's rules. A file that cannot be read ends the scan; the rows before
// it are kept.
struct FolderScan {
    enum class Outcome { Scanned, ListingFailed, TooMany, ReadFailed } outcome = Outcome::Scanned;
    std::vector<ScanRow> rows;
};
FolderScan scanFolder(const std::string& folder, TagSource source = TagSource::Id3v1,
    AudioFormats formats = AudioFormats::only(AudioFormat::Mp3));

} // namespace zentrio
