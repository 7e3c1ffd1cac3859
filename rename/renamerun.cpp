#include "rename/renamerun.h"

#include "platform/filenames.h"
#include "platform/fsops.h"
#include "platform/readpool.h"

namespace zentrio {

namespace {

    // The names of the checked MP3 items, in list order.
    std::vector<std::string> checkedMp3Names(const std::vector<RunItem>& items)
    {
        std::vector<std::string> names;
        for (const RunItem& item : items) {
            if (item.checked && hasMp3Suffix(item.name))
                names.push_back(item.name);
        }
        return names;
    }

    // Every rename the run may make, up to its first unreadable file.
    std::vector<PlannedRename> plannedRenames(const std::vector<std::string>& names,
        const std::vector<std::optional<IdentifiedTag>>& reads, const NameOptions& options)
    {
        std::vector<PlannedRename> renames;
        for (std::size_t i = 0; i < names.size() && reads[i]; ++i) {
            if (!reads[i]->tag.found)
                continue;
            std::string newName = textToName(composeNewName(reads[i]->tag, options, static_cast<int>(i) + 1));
            if (newName != names[i])
                renames.push_back({ names[i], std::move(newName), reads[i]->identity });
        }
        return renames;
    }

} // namespace

RenameRunResult runRename(const std::string& folder, const std::vector<RunItem>& items, const NameOptions& options,
    const std::function<void(int renamed)>& afterItem, TagSource source, const BeforeRenames& beforeRenames)
{
    RenameRunResult result;
    const std::string prefix = folderPath(folder);
    // The tags are read ahead, concurrently; the renames stay one at a time
    // in list order, since that order decides the names and the collisions.
    const std::vector<std::string> names = checkedMp3Names(items);
    const auto reads
        = readInOrder(names.size(), [&](std::size_t i) { return readIdentifiedTag(prefix + names[i], source); });
    if (beforeRenames) {
        const auto renames = plannedRenames(names, reads, options);
        if (!renames.empty())
            beforeRenames(renames);
    }
    int runningNumber = 0;
    for (const RunItem& item : items) {
        if (!item.checked)
            continue;
        if (hasMp3Suffix(item.name)) {
            const auto& read = reads[static_cast<std::size_t>(runningNumber)];
            ++runningNumber;
            if (!read) {
                result.outcome = RenameRunResult::Outcome::Failed;
                return result;
            }
            if (read->tag.found) {
                const std::string newName = textToName(composeNewName(read->tag, options, runningNumber));
                switch (fs::renameNoReplace(prefix + item.name, prefix + newName)) {
                case fs::RenameResult::Renamed:
                    ++result.renamed;
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
