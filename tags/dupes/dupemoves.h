#pragma once

#include "rename/library/libraryplan.h"
#include "tags/dupes/dupesearch.h"

#include <optional>
#include <string>
#include <vector>

// The extra copies of each group moved aside into one folder, as an
// ordinary move plan: checked as a whole run, recorded in the run history
// and taken back by undo like a rename run. Each file moved keeps its name
// and its folder below the path it was found from (DIR/Artist/Album/x.mp3),
// so that copies of one name from two folders do not meet; two that still
// meet are conflicts, numbered with the policy Number.
namespace zentrio {

// Which file of a group stays: the first in path order, the newest or the
// oldest by modification time, or the one with the shortest path (ties:
// the first in path order).
enum class KeepRule { First, Newest, Oldest, ShortestPath };

std::optional<KeepRule> keepRuleNamed(const std::string& word);

// The index into `group.files` of the file that stays.
std::size_t keptFile(const DupesFound& found, const DupeGroup& group, KeepRule rule);

// `roots`: the folder of each path searched (a file: its folder), by
// argument; `moveTo` absolute.
LibraryPlan planDupeMoves(const DupesFound& found, const std::vector<std::string>& roots, const std::string& moveTo,
    KeepRule rule, ConflictPolicy policy);

} // namespace zentrio
