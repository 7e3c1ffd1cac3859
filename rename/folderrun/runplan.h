#pragma once

#include "rename/naming/compose.h"
#include "tags/read/tagsource.h"

#include <optional>
#include <string>
#include <vector>

namespace zentrio {

// What the batch rename will do with one checked file of the run.
enum class StepOutcome {
    Renamed,
    Unchanged, // the new name is the old one
    Skipped, // no tag: the file keeps its name
    NameTaken, // another file holds the new name: the run stops here
    SameAsEarlier, // an earlier file of the run takes the same new name: the run stops here
    Unreadable, // the tag cannot be read: the run stops here
    NotReached, // after the file where the run stops
};

// A checked file of the run in list order, with its tag read (nullopt: not
// readable). Its new name keeps its own extension.
struct PlanInput {
    std::string name;
    std::optional<IdentifiedTag> read;
};

struct PlanStep {
    std::string oldName;
    std::string newName; // empty when the file has no tag or was not read
    int number = 0; // the running number the run gives it
    StepOutcome outcome = StepOutcome::NotReached;
};

// The run's decisions, without touching the disk: the same order, running
// numbers and rules as the run, against the folder's current names, so a
// name freed by an earlier rename counts as free and a name still held by a
// later file counts as taken. Names are compared byte for byte.
std::vector<PlanStep> planRun(
    const std::vector<PlanInput>& files, const NameOptions& options, const std::vector<std::string>& folderNames);

// Reads the tags of the checked names, all of them, concurrently, and
// plans the run against the folder's listing. nullopt when the folder
// cannot be listed.
std::optional<std::vector<PlanStep>> planFolderRun(
    const std::string& folder, const std::vector<std::string>& checkedNames, const NameOptions& options, TagSource source);

} // namespace zentrio
