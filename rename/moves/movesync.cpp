#include "rename/moves/movesync.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"

#include <algorithm>
#include <set>

namespace zentrio {

bool syncFoldersAtOnce(const std::vector<std::string>& folders)
{
    const std::set<std::string> unique(folders.begin(), folders.end());
    const std::vector<std::string> each(unique.begin(), unique.end());
    const auto synced = readInOrder(
        each.size(), [&](std::size_t i) { return std::optional<bool>(fs::syncFolder(each[i])); }, ReadAll::Yes);
    return std::all_of(synced.begin(), synced.end(), [](const auto& ok) { return ok && *ok; });
}

bool syncIntoParents(const std::vector<std::string>& folders)
{
    std::vector<std::string> parents;
    for (const std::string& folder : folders)
        parents.push_back(parentOf(folder));
    return syncFoldersAtOnce(parents);
}

bool syncMoves(const std::vector<Move>& moves, const std::function<bool(std::size_t)>& made)
{
    std::vector<std::string> into, left;
    for (std::size_t k = 0; k < moves.size(); ++k) {
        if (!made(k))
            continue;
        into.push_back(parentOf(moves[k].to));
        left.push_back(parentOf(moves[k].from));
    }
    const bool intoSynced = syncFoldersAtOnce(into);
    // A folder both gained and lost names (a rename within it, a chain
    // through it): its first sync made both durable, the moves being over.
    const std::set<std::string> synced(into.begin(), into.end());
    std::erase_if(left, [&](const std::string& folder) { return synced.contains(folder); });
    return syncFoldersAtOnce(left) && intoSynced;
}

} // namespace zentrio
