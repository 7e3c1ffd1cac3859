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

std::string whyNot(int error, const Move& move)
{
    if (error == EEXIST)
        return "the target exists since the run was checked: " + move.to;
    return "cannot be renamed: " + move.from + ": " + std::strerror(error);
}

// The file at the move's old path is the one the plan saw.
bool stillThePlannedFile(const Move& move, const Recognition& recognition)
{
    const auto found = fs::identityOf(move.from);
    return found && recognition.recognises(move.identity, *found);
}

} // namespace

MovesDone performMoves(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied, RunWriter& journal,
    const std::atomic<bool>& stop, const std::function<void(std::size_t done)>& progress,
    const Recognition& recognition)
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
        if (!stillThePlannedFile(move, recognition)) {
            outcome.failure = "changed, moved or replaced since it was planned: " + move.from;
            return end(RunEnd::Failed);
        }
        if (const int error = fs::renameExclusive(move.from, move.to); error != 0) {
            outcome.failure = whyNot(error, move);
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
