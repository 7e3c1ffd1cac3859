#pragma once

#include "tags/read/audiofile.h"

#include <string>
#include <vector>

// The items of a folder's list as the window hands them to a run: which are
// checked, and their names. A rename run works on the checked audio files of
// the formats the list shows among them; a tag write on the MP3 files only.
namespace zentrio {

struct RunItem {
    bool checked = false;
    std::string name; // the file name as the file system stores it
};

// The names of the checked items whose names are audio files of `formats`,
// in list order: the files a run renames. With MP3 alone, the names ending
// in ".mp3" in any letter case.
std::vector<std::string> checkedAudioNames(const std::vector<RunItem>& items, AudioFormats formats);

// The names of the checked MP3 items, in list order: the files a run renames
// or a tag write reaches.
std::vector<std::string> checkedMp3Names(const std::vector<RunItem>& items);

} // namespace zentrio
