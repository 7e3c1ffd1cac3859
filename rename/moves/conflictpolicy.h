#pragma once

#include "rename/library/libraryplan.h"

#include <string>
#include <unordered_set>
#include <vector>

// What the whole-run check does by the conflict policies but Stop. Number:
// files that would take one name, or a name a file that stays already
// holds, are kept apart by " (2)", " (3)"... before the extension, decided
// before the run is checked, so the check, the dry run and a saved plan all
// see the numbered names. Skip: the files in conflict stay, and so do the
// album companions of their folders.
namespace zentrio {

// The plan's MP3 files that move numbered by numberTargets. A file numbered
// back to its own path stays unchanged.
void numberConflicts(LibraryPlan& plan);

// The album companions of these folders stay where they are: not every MP3
// file of their folder moves.
void keepCompanionsOf(const std::unordered_set<std::string>& folders, LibraryPlan& plan);

struct NumberedTarget {
    std::string from;
    std::string to; // the target as composed; on return, the one the file gets
    bool ignoresCase = false; // the target's file system ignores letter case
    std::string named; // when `to` holds a number already (a saved plan's): the target it was numbered from
};

// In the order of their sources (by path, so the numbers do not depend on
// the order files were read in), each file keeps its target when no earlier
// file keeps it and nothing that stays holds it; the others take the first
// free number. Names are compared by nameKey. `leaving`: the sources of
// every move of the run, whose paths count as free.
void numberTargets(std::vector<NumberedTarget>& targets, const std::vector<std::string>& leaving);

// "/a/Song.mp3" with number 2: "/a/Song (2).mp3"; the name is cut at a
// character boundary before the number when it would pass the longest name.
std::string numberedPath(const std::string& path, int number);

// True when `path` is `named` with a number numberTargets could give it.
bool isNumberedFrom(const std::string& path, const std::string& named);

} // namespace zentrio
