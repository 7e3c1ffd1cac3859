#include "rename/folderrun/runplan.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"
#include "rename/naming/foldernames.h"

#include <map>

namespace zentrio {

namespace {

    constexpr int kOutsideTheRun = -1;

    // Which entry holds each name of the folder: a file of the run (its
    // index) or something else.
    std::map<std::string, int> holders(const std::vector<PlanInput>& files, const std::vector<std::string>& folderNames)
    {
        std::map<std::string, int> held;
        for (const std::string& name : folderNames)
            held[name] = kOutsideTheRun;
        for (std::size_t i = 0; i < files.size(); ++i)
            held[files[i].name] = static_cast<int>(i);
        return held;
    }

    // A stop at a taken name: by an earlier file of the run that took this
    // same new name (renamed or unchanged), or by any other file.
    StepOutcome takenBy(int holder, const std::vector<PlanStep>& steps, const std::string& newName)
    {
        if (holder >= 0 && static_cast<std::size_t>(holder) < steps.size() && steps[holder].newName == newName)
            return StepOutcome::SameAsEarlier;
        return StepOutcome::NameTaken;
    }

} // namespace

std::vector<PlanStep> planRun(
    const std::vector<PlanInput>& files, const NameOptions& options, const std::vector<std::string>& folderNames)
{
    FolderTags tags(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        tags[i] = files[i].read && files[i].read->tag.found ? &files[i].read->tag : nullptr;
    std::vector<std::string> oldNames;
    oldNames.reserve(files.size());
    for (const PlanInput& file : files)
        oldNames.push_back(file.name);
    std::vector<std::string> newNames = folderNewNames(tags, options, oldNames);
    std::map<std::string, int> held = holders(files, folderNames);
    std::vector<PlanStep> steps;
    steps.reserve(files.size());
    bool stopped = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        PlanStep step { files[i].name, std::move(newNames[i]), static_cast<int>(i) + 1, StepOutcome::NotReached };
        const auto& read = files[i].read;
        if (stopped) {
            steps.push_back(std::move(step));
            continue;
        }
        if (!read) {
            step.outcome = StepOutcome::Unreadable;
        } else if (!read->tag.found || step.newName.empty()) {
            step.outcome = StepOutcome::Skipped;
        } else if (step.newName == step.oldName) {
            step.outcome = StepOutcome::Unchanged;
        } else if (const auto taken = held.find(step.newName); taken != held.end()) {
            step.outcome = takenBy(taken->second, steps, step.newName);
        } else {
            held.erase(step.oldName);
            held[step.newName] = static_cast<int>(i);
            step.outcome = StepOutcome::Renamed;
        }
        stopped = step.outcome == StepOutcome::Unreadable || step.outcome == StepOutcome::NameTaken
            || step.outcome == StepOutcome::SameAsEarlier;
        steps.push_back(std::move(step));
    }
    return steps;
}

std::optional<std::vector<PlanStep>> planFolderRun(
    const std::string& folder, const std::vector<std::string>& checkedNames, const NameOptions& options, TagSource source)
{
    const auto entries = fs::listFolder(folder);
    if (!entries)
        return std::nullopt;
    std::vector<std::string> folderNames;
    folderNames.reserve(entries->size());
    for (const fs::DirEntry& entry : *entries)
        folderNames.push_back(entry.name);
    const std::string prefix = folderPath(folder);
    auto reads = readInOrder(
        checkedNames.size(), [&](std::size_t i) { return readIdentifiedTag(prefix + checkedNames[i], source); },
        ReadAll::Yes);
    std::vector<PlanInput> files;
    files.reserve(checkedNames.size());
    for (std::size_t i = 0; i < checkedNames.size(); ++i)
        files.push_back({ checkedNames[i], std::move(reads[i]) });
    return planRun(files, options, folderNames);
}

} // namespace zentrio
