#include "rename/moverun.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

// Makes the folders; false with the reason at the first that fails.
bool makeFolders(const std::vector<std::string>& folders, MovesDone& outcome)
{
    for (const std::string& folder : folders) {
        if (::mkdir(folder.c_str(), 0777) == 0) {
            ++outcome.foldersMade;
        } else if (errno != EEXIST) {
            outcome.failure = "cannot make the folder " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

std::string whyNot(fs::RenameResult result, const Move& move, int error)
{
    if (result == fs::RenameResult::TargetExists)
        return "the target exists since the run was checked: " + move.to;
    return std::string("cannot be renamed: ") + std::strerror(error);
}

} // namespace

MovesDone performMoves(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied, RunWriter& journal,
    const std::atomic<bool>& stop, const std::function<void(std::size_t done)>& progress)
{
    MovesDone outcome;
    const auto end = [&](RunEnd how) {
        outcome.end = how;
        journal.finish(outcome.done, how);
        return outcome;
    };
    if (!makeFolders(order.madeFolders, outcome))
        return end(RunEnd::Failed);
    for (const Move& move : order.steps) {
        if (stop.load())
            return end(RunEnd::Interrupted);
        if (outcome.done > 0 && outcome.done % kMarkBatch == 0 && !journal.mark(outcome.done)) {
            outcome.failure = std::string("the rename journal cannot be written: ") + std::strerror(errno);
            return end(RunEnd::Failed);
        }
        errno = 0;
        const fs::RenameResult result = fs::renameNoReplace(move.from, move.to);
        if (result != fs::RenameResult::Renamed) {
            outcome.failure = whyNot(result, move, errno);
            return end(RunEnd::Failed);
        }
        ++outcome.done;
        if (progress)
            progress(outcome.done);
    }
    for (const EmptiedFolder& folder : emptied) {
        if (::rmdir(folder.path.c_str()) == 0) // only an empty folder goes
            ++outcome.foldersRemoved;
    }
    return end(RunEnd::Completed);
}

} // namespace zentrio
