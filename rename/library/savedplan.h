#pragma once

#include "rename/library/libraryplan.h"

#include <string>
#include <vector>

// A plan made earlier (its roots, --to folder, file-system choice and
// moves), checked again against the disk and against the rules a rename
// follows, so that apply performs only what rename could have planned:
// every path absolute and plain (no ".", "..", "//"); every file below the
// plan's roots, none of them "/"; every target below the --to folder (or,
// without one, below the file's own folder), with no hidden name there; an
// audio file's new name in its own extension; any other file an album
// companion that keeps its name and goes where all the audio files of its
// folder go, and only they; every file still the one the plan saw
// (identity, size, modification time). Else it is a conflict. The folders
// the run makes and may empty are worked out anew from the moves, and the
// whole run is checked and ordered anew.
namespace zentrio {

struct SavedPlan {
    std::vector<std::string> roots;
    std::string to;
    FsChoice fsChoice = FsChoice::Auto;
    std::vector<PlannedFile> files;
};

// `policy`: what to do with the moves the whole-run check finds in
// conflict now (a target taken since the plan was made).
LibraryPlan replanSavedMoves(SavedPlan saved, ConflictPolicy policy = ConflictPolicy::Stop);

} // namespace zentrio
