#include "tags/dupes/dupemoves.h"

#include "platform/fs/filenames.h"
#include "rename/library/savedplan.h"

namespace zentrio {

std::optional<KeepRule> keepRuleNamed(const std::string& word)
{
    if (word == "first")
        return KeepRule::First;
    if (word == "newest")
        return KeepRule::Newest;
    if (word == "oldest")
        return KeepRule::Oldest;
    if (word == "shortest-path")
        return KeepRule::ShortestPath;
    return std::nullopt;
}

std::size_t keptFile(const DupesFound& found, const DupeGroup& group, KeepRule rule)
{
    const auto better = [&](const DupeFile& a, const DupeFile& b) {
        switch (rule) {
        case KeepRule::Newest:
            return a.identity.modified > b.identity.modified;
        case KeepRule::Oldest:
            return a.identity.modified < b.identity.modified;
        case KeepRule::ShortestPath:
            return a.path.size() < b.path.size();
        case KeepRule::First:
            break;
        }
        return false;
    };
    std::size_t kept = 0;
    for (std::size_t k = 1; k < group.files.size(); ++k) {
        if (better(found.files[group.files[k]], found.files[group.files[kept]]))
            kept = k;
    }
    return kept;
}

LibraryPlan planDupeMoves(const DupesFound& found, const std::vector<std::string>& roots, const std::string& moveTo,
    KeepRule rule, ConflictPolicy policy)
{
    SavedPlan saved;
    saved.roots = roots;
    saved.to = moveTo;
    for (const DupeGroup& group : found.groups) {
        const std::size_t kept = keptFile(found, group, rule);
        for (std::size_t k = 0; k < group.files.size(); ++k) {
            if (k == kept)
                continue;
            const DupeFile& file = found.files[group.files[k]];
            const std::string& root = roots.at(file.argument);
            PlannedFile planned;
            planned.from = file.path;
            // A file not below its root (none is) keeps its name alone; the plan's check refuses it.
            const std::string below
                = isBelow(file.path, root) ? file.path.substr(folderPath(root).size()) : baseOf(file.path);
            planned.to = joinPath(moveTo, below);
            planned.identity = file.identity;
            planned.argument = file.argument;
            planned.status = FileStatus::Moved;
            saved.files.push_back(std::move(planned));
        }
    }
    std::sort(saved.files.begin(), saved.files.end(),
        [](const PlannedFile& a, const PlannedFile& b) { return pathLess(a.from, b.from); });
    LibraryPlan plan = replanSavedMoves(std::move(saved), policy);
    plan.recognition.unchangedContents = true;
    return plan;
}

} // namespace zentrio
