#pragma once

#include <string>
#include <vector>

// The "number" conflict policy: files that would take one name, or a name a
// file that stays already holds, are kept apart by " (2)", " (3)"... before
// the extension, decided before the run is checked, so the check, the dry
// run and a saved plan all see the numbered names.
namespace zentrio {

struct NumberedTarget {
    std::string from;
    std::string to; // the target as composed; on return, the one the file gets
    bool ignoresCase = false; // the target's file system ignores letter case
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

} // namespace zentrio
