#include "rename/playlists/playlistundo.h"

#include "rename/playlists/playlistcopies.h"

#include "platform/fs/digest.h"
#include "platform/fs/fsops.h"
#include "platform/fs/filenames.h"
#include "rename/moves/moverun.h"
#include "rename/moves/movesync.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

enum class Found { AsRewritten, AsBefore, Changed, Gone };

Found lookAt(const PlaylistRewrite& playlist)
{
    struct stat st {};
    if (::lstat(playlist.path.c_str(), &st) != 0)
        return Found::Gone;
    const auto bytes = S_ISREG(st.st_mode) ? fs::readWholeFile(playlist.path) : std::nullopt;
    if (!bytes)
        return Found::Changed;
    if (digestOf(*bytes) == playlist.newDigest)
        return Found::AsRewritten;
    return *bytes == playlist.oldBytes ? Found::AsBefore : Found::Changed;
}

void leaveAlone(MovesUndone& result, const std::string& path, const std::string& reason)
{
    ++result.notUndone;
    result.leftAlone.push_back({ path, reason });
}

// The carried playlist moved back to its old path as the run rewrote it,
// the move synced as a run's are.
bool moveBack(const PlaylistRewrite& playlist, bool linked)
{
    const bool moved = linked ? ::unlink(playlist.path.c_str()) == 0
                              : fs::renameNoReplace(playlist.path, playlist.before) == fs::RenameResult::Renamed;
    return moved && syncMoves({ { playlist.path, playlist.before, {} } }, [](std::size_t) { return true; });
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Removes the copies a killed rewrite left beside each playlist (the
// run's or an undo's), each looked at once; true when one went.
bool removeCopies(const std::vector<PlaylistRewrite>& playlists, MovesUndone& result, bool dryRun)
{
    std::map<std::string, std::string> others; // each copy with other bytes: the playlist it is named for
    std::set<std::string> ours;
    for (const PlaylistRewrite& playlist : playlists) {
        RewriteCopies copies = rewriteCopiesOf(playlist);
        ours.insert(copies.ours.begin(), copies.ours.end());
        for (std::string& other : copies.others)
            others.emplace(std::move(other), playlist.before.substr(playlist.before.rfind('/') + 1));
    }
    for (const auto& [copy, playlist] : others) {
        if (!ours.contains(copy))
            result.leftAlone.push_back(
                { copy, "named as a copy of " + playlist + " but holds other bytes: left as it is" });
    }
    return !dryRun && removeRewriteCopies({ ours.begin(), ours.end() }) > 0;
}

} // namespace

PlaylistUndo planPlaylistUndo(
    const std::vector<PlaylistRewrite>& playlists, std::vector<Move>& moves, MovesUndone& result)
{
    PlaylistUndo undo;
    for (auto listed = playlists.rbegin(); listed != playlists.rend(); ++listed) {
        const PlaylistRewrite* playlist = &*listed;
        Found found = lookAt(*playlist);
        if (found == Found::AsBefore) {
            undo.settled.push_back(*playlist);
            continue; // the run ended before its rewrite: a carried one goes back with the moves
        }
        // A carried playlist gone from where the run put it may be back at
        // its old path: its move never lasted through a power cut, or an
        // undo that a cut ended moved it back (and maybe wrote it back).
        PlaylistRewrite movedBack = *playlist;
        movedBack.path = playlist->before;
        const Found back = found == Found::Gone && playlist->carried() ? lookAt(movedBack) : Found::Gone;
        if (back == Found::AsBefore) { // nothing left to do, whichever file it is
            undo.settled.push_back(*playlist);
            std::erase_if(moves, [&](const Move& move) { return move.to == playlist->path; });
            continue;
        }
        std::optional<fs::FileIdentity> known = fs::identityOf(playlist->path);
        if (playlist->carried()) {
            const auto carried
                = std::find_if(moves.begin(), moves.end(), [&](const Move& move) { return move.to == playlist->path; });
            known = carried == moves.end() ? std::nullopt : std::optional(carried->identity);
            std::erase_if(moves, [&](const Move& move) { return move.to == playlist->path; });
        }
        if (back == Found::AsRewritten) {
            undo.settled.push_back(*playlist); // the copies beside where the run left it go too
            playlist = &movedBack; // written back in place
            found = back;
        }
        if (found == Found::AsRewritten) {
            undo.restore.push_back(*playlist);
            undo.newInodes.push_back({ playlist->before, known.value_or(fs::FileIdentity {}) });
        } else if (found == Found::Changed)
            leaveAlone(result, playlist->path, "the playlist was changed since the run: left as it is");
        else
            leaveAlone(result, playlist->path, "the playlist is gone since the run");
    }
    return undo;
}

std::vector<std::string> leavingAfterMoves(const PlaylistUndo& undo)
{
    std::vector<std::string> leaving;
    for (const PlaylistRewrite& playlist : undo.restore) {
        if (playlist.carried() && (fs::sameLinkedFile(playlist.path, playlist.before) || !exists(playlist.before)))
            leaving.push_back(playlist.path);
    }
    for (const auto* playlists : { &undo.restore, &undo.settled }) {
        for (const PlaylistRewrite& playlist : *playlists) {
            const RewriteCopies copies = rewriteCopiesOf(playlist);
            leaving.insert(leaving.end(), copies.ours.begin(), copies.ours.end());
        }
    }
    return leaving;
}

void restorePlaylists(PlaylistUndo& undo, MovesUndone& result, const std::vector<std::string>& madeFolders, bool dryRun)
{
    bool carriedBack = false;
    std::vector<PlaylistRewrite> putBack = std::move(undo.settled);
    std::vector<RewrittenFile> known = std::move(undo.newInodes);
    undo.newInodes.clear();
    for (std::size_t k = 0; k < undo.restore.size(); ++k) {
        PlaylistRewrite& playlist = undo.restore[k];
        // Under both names after a power cut during the run or an undo.
        const bool linked = playlist.carried() && fs::sameLinkedFile(playlist.path, playlist.before);
        if (playlist.carried() && !linked && exists(playlist.before)) {
            leaveAlone(result, playlist.path, "its old path is taken: " + playlist.before);
            undo.kept.push_back(std::move(playlist));
            continue;
        }
        if (!dryRun && lookAt(playlist) != Found::AsRewritten) {
            leaveAlone(result, playlist.path, "the playlist was changed since the run: left as it is");
            continue;
        }
        // A carried one goes back first, then gets its old bytes where it
        // lay: a power cut in between leaves it whole at one of its paths,
        // which the next undo finishes.
        if (!dryRun && playlist.carried() && !moveBack(playlist, linked)) {
            leaveAlone(result, playlist.path, "cannot be moved back to " + playlist.before);
            undo.kept.push_back(std::move(playlist));
            continue;
        }
        if (!dryRun && !fs::replaceFileAtomically(playlist.before, playlist.oldBytes)) {
            leaveAlone(result, playlist.path, "cannot be written back: " + playlist.before);
            undo.kept.push_back(std::move(playlist));
            continue;
        }
        if (playlist.carried()) {
            const auto identity = dryRun ? std::nullopt : fs::identityOf(playlist.before);
            result.back.push_back({ playlist.before, playlist.path, identity.value_or(fs::FileIdentity {}) });
            ++result.movedBack;
            carriedBack = true;
        }
        undo.restored.push_back(playlist.before);
        putBack.push_back(playlist);
        if (!dryRun)
            undo.newInodes.push_back(known[k]);
    }
    const bool copiesRemoved = removeCopies(putBack, result, dryRun);
    if ((carriedBack || copiesRemoved) && !dryRun) {
        const int removed = removeEmptyFoldersAtOnce(madeFolders);
        if (removed > 0)
            (void)syncIntoParents(madeFolders);
        result.foldersRemoved += removed;
    }
}

} // namespace zentrio
