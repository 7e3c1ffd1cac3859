#pragma once

#include <string>
#include <vector>

// The items of a folder's list as the window hands them to a run: which are
// checked, and their names. A rename run and a tag write both work on the
// checked MP3 files among them.
namespace zentrio {

struct RunItem {
    bool checked = false;
    std::string name; // the file name as the file system stores it
};

// The names of the checked MP3 items, in list order: the files a run renames
// or a tag write reaches.
std::vector<std::string> checkedMp3Names(const std::vector<RunItem>& items);

} // namespace zentrio
