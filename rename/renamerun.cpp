#include "rename/renamerun.h"

#include "platform/filenames.h"
#include "platform/fsops.h"

namespace zentrio {

RenameRunResult runRename(const std::string& folder, const std::vector<RunItem>& items, const NameOptions& options,
    const std::function<void(int renamed)>& afterItem, TagSource source)
{
    RenameRunResult result;
    const std::string prefix = folderPath(folder);
    int runningNumber = 0;
    for (const RunItem& item : items) {
        if (!item.checked)
            continue;
        if (hasMp3Suffix(item.name)) {
            ++runningNumber;
            const auto tag = readFileTag(prefix + item.name, source);
            if (!tag) {
                result.outcome = RenameRunResult::Outcome::Failed;
                return result;
            }
            if (tag->found) {
                const std::string newName = textToName(composeNewName(*tag, options, runningNumber));
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
