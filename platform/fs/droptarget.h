#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zentrio {

// What a drop on the main window opens: a folder, or the folder of the
// dropped audio files with the first of them to show.
struct DropTarget {
    std::string folder;
    std::string file; // a name in the folder; empty when a folder was dropped
};

// `paths` are the dropped local paths as raw bytes; an empty one stands for
// a URL that is no local file. One folder, or one or more MP3 files, make a
// target (any audio file the window lists, with `listed`); anything else
// (several folders, a folder with files, a file of another kind, a remote
// URL) is refused. It looks at the files, so it is
// asked once, at the drop.
// Which names are audio files the window lists: MP3 files unless told.
using ListedName = std::function<bool(std::string_view name)>;
bool isMp3Name(std::string_view name);

std::optional<DropTarget> dropTarget(const std::vector<std::string>& paths, const ListedName& listed = isMp3Name);

// While a drag moves over the window: whether the paths may make a target,
// judged by their names alone, no file touched (move events come many times
// a second, and the files may lie on a slow drive). One path whose name ends
// in ".mp3" or names no known kind of file (it may be a folder), or several
// that all end in ".mp3"; dropTarget has the last word at the drop.
bool mayBeDropTarget(const std::vector<std::string>& paths, const ListedName& listed = isMp3Name);

} // namespace zentrio
