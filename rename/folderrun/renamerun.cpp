#include "rename/folderrun/renamerun.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"
#include "rename/naming/foldernames.h"

#include <algorithm>

namespace zentrio {

namespace {

    // The new name of each checked file of the run, numbered as the run numbers
    // them; empty for a file without a tag or whose own-pattern name comes
    // out empty, and from the first unreadable file on, where the run stops.
    std::vector<std::string> newNames(const std::vector<std::string>& oldNames,
        const std::vector<std::optional<IdentifiedTag>>& reads, const NameOptions& options)
    {
        FolderTags tags(reads.size());
        for (std::size_t i = 0; i < reads.size(); ++i)
            tags[i] = reads[i] && reads[i]->tag.found ? &reads[i]->tag : nullptr;
        std::vector<std::string> names = folderNewNames(tags, options, oldNames);
        const auto unreadable = std::find(reads.begin(), reads.end(), std::nullopt);
        std::fill(names.begin() + (unreadable - reads.begin()), names.end(), std::string());
        return names;
    }

    // Every rename the run may make, up to its first unreadable file.
    std::vector<PlannedRename> plannedRenames(const std::vector<std::string>& names,
        const std::vector<std::string>& newNames, const std::vector<std::optional<IdentifiedTag>>& reads)
    {
        std::vector<PlannedRename> renames;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (!newNames[i].empty() && newNames[i] != names[i])
                renames.push_back({ names[i], newNames[i], reads[i]->identity });
        }
        return renames;
    }

} // namespace

RenameRunResult runRename(const std::string& folder, const std::vector<RunItem>& items, const NameOptions& options,
    const std::function<void(int renamed)>& afterItem, TagSource source, const BeforeRenames& beforeRenames,
    AudioFormats formats)
{
    RenameRunResult result;
    const std::string prefix = folderPath(folder);
    // The tags are read ahead, concurrently; the renames stay one at a time
    // in list order, since that order decides the names and the collisions.
    const std::vector<std::string> names = checkedAudioNames(items, formats);
    const auto reads
        = readInOrder(names.size(), [&](std::size_t i) { return readIdentifiedTag(prefix + names[i], source); });
    const std::vector<std::string> targets = newNames(names, reads, options);
    if (beforeRenames) {
        const auto renames = plannedRenames(names, targets, reads);
        if (!renames.empty())
            beforeRenames(renames);
    }
    int runningNumber = 0;
    for (const RunItem& item : items) {
        if (!item.checked)
            continue;
        if (isAudioFileName(item.name, formats)) {
            const auto k = static_cast<std::size_t>(runningNumber);
            ++runningNumber;
            if (!reads[k]) {
                result.outcome = RenameRunResult::Outcome::Failed;
                return result;
            }
            if (!targets[k].empty()) { // empty: no tag, or the own pattern gives no name
                switch (fs::renameNoReplace(prefix + item.name, prefix + targets[k])) {
                case fs::RenameResult::Renamed:
                    ++result.renamed;
                    result.movesDone += targets[k] != item.name;
                    break;
                case fs::RenameResult::TargetExists:
                    result.outcome = RenameRunResult::Outcome::TargetExists;
                    return result;
                case fs::RenameResult::Failed:
                    result.outcome = RenameRunResult::Outcome::Failed;
                    return result;
                }
            }
        }
        if (afterItem)
            afterItem(result.renamed);
    }
    if (runningNumber == 0)
        result.outcome = RenameRunResult::Outcome::NothingChecked;
    return result;
}

} // namespace zentrio
