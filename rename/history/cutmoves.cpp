#include "rename/history/cutmoves.h"

#include "platform/fs/digest.h"
#include "platform/fs/filelock.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"
#include "rename/history/runstarted.h"
#include "rename/moves/movesync.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

constexpr std::string_view kUndoPrefix = "undoing-";

enum class Keep { NewName, OldName };

bool sameFolder(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0
        || (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
}

// One file under two names in two folders: `dropped` goes, when the file
// at `kept` is the run's (`isTheRunsFile`); its folder is noted in `folders`.
void settle(const std::string& kept, const std::string& dropped, const std::function<bool()>& isTheRunsFile,
    SettledMoves& settled, std::vector<std::string>& folders)
{
    if (!fs::sameLinkedFile(kept, dropped) || sameFolder(parentOf(kept), parentOf(dropped)) || !isTheRunsFile())
        return;
    if (::unlink(dropped.c_str()) == 0) {
        ++settled.settled;
        folders.push_back(parentOf(dropped));
    } else {
        settled.unsettled.push_back({ dropped, "also at " + kept + ", one file under two names: " + std::strerror(errno) });
    }
}

// Settles the moves of one run's record, and its carried playlists (a
// rewrite gave them a new inode: they are known by their bytes).
void settleRun(const std::string& runFile, Keep keep, SettledMoves& settled, std::vector<std::string>& folders)
{
    if (runInProgress(runFile))
        return;
    const auto text = fs::readWholeFile(runFile);
    if (!text)
        return;
    const ParsedRun parsed = parseRun(*text);
    if (parsed.state != ParsedRun::State::Begun && !parsed.salvaged)
        return;
    const Recognition recognition = parsed.record.recognition();
    const bool keepNew = keep == Keep::NewName;
    for (const Move& move : parsed.record.moves) {
        const std::string& kept = keepNew ? move.to : move.from;
        const auto recorded = [&] {
            const auto identity = fs::identityOf(kept);
            return identity && recognition.recognises(move.identity, *identity);
        };
        settle(kept, keepNew ? move.from : move.to, recorded, settled, folders);
    }
    for (const PlaylistRewrite& playlist : parsed.playlists) {
        if (!playlist.carried())
            continue;
        const std::string& kept = keepNew ? playlist.path : playlist.before;
        const auto asTheRunLeftIt = [&] {
            const auto bytes = fs::readWholeFile(kept);
            return bytes && (digestOf(*bytes) == playlist.newDigest || *bytes == playlist.oldBytes);
        };
        settle(kept, keepNew ? playlist.before : playlist.path, asTheRunLeftIt, settled, folders);
    }
}

std::optional<std::uint64_t> undoneRun(std::string_view name)
{
    if (!name.starts_with(kUndoPrefix))
        return std::nullopt;
    name.remove_prefix(kUndoPrefix.size());
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    return error == std::errc() && end == name.data() + name.size() ? std::optional(number) : std::nullopt;
}

} // namespace

SettledMoves settleCutMoves(const RunHistory& history)
{
    SettledMoves settled;
    if (history.folder().empty() || !fs::isFolder(history.folder()))
        return settled;
    // No undo runs meanwhile and no run is being recorded; one going on
    // elsewhere is not waited for (the next start settles what is left).
    const fs::FileLock lock(history.folder() + "/lock", fs::FileLock::Wait::No);
    if (!lock.held())
        return settled;
    const auto files = history.files();
    std::vector<std::string> folders, markers;
    // A marker stays while a file it stands for is left under both names.
    const auto settle = [&](const std::string& marker, auto runs, Keep keep) {
        const std::size_t unsettled = settled.unsettled.size();
        for (const RunFile& file : files) {
            if (runs(file.number))
                settleRun(file.path, keep, settled, folders);
        }
        if (settled.unsettled.size() == unsettled)
            markers.push_back(marker);
    };
    for (const CutRun& cut : cutRecordedRuns(history))
        settle(cut.marker, [&](std::uint64_t run) { return run > cut.after; }, Keep::NewName);
    std::vector<std::pair<std::string, std::uint64_t>> undos;
    fs::forEachEntry(history.folder(), [&](int, const dirent& e) {
        if (const auto number = undoneRun(e.d_name))
            undos.emplace_back(history.folder() + "/" + e.d_name, *number);
    });
    for (const auto& undo : undos) {
        const std::uint64_t number = undo.second;
        settle(undo.first, [number](std::uint64_t run) { return run == number; }, Keep::OldName);
    }
    (void)syncFoldersAtOnce(folders);
    // The markers go once the names they stood for are settled for good.
    for (const std::string& marker : markers)
        ::unlink(marker.c_str());
    if (!markers.empty())
        (void)fs::syncFolder(history.folder());
    return settled;
}

std::string leaveUndoMarker(const RunHistory& history, std::uint64_t number)
{
    const std::string path = history.folder() + "/" + std::string(kUndoPrefix) + std::to_string(number);
    const fs::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid())
        return {};
    if (!fs::syncFolder(history.folder())) {
        ::unlink(path.c_str());
        return {};
    }
    return path;
}

bool crossesFolders(const std::vector<Move>& moves)
{
    return std::any_of(
        moves.begin(), moves.end(), [](const Move& move) { return parentOf(move.from) != parentOf(move.to); });
}

} // namespace zentrio
