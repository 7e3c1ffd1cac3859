#include "rename/playlists/playlistundo.h"

#include "platform/fs/digest.h"
#include "platform/fs/fsops.h"
#include "rename/moves/moverun.h"

#include <algorithm>
#include <optional>
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

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

PlaylistUndo planPlaylistUndo(
    const std::vector<PlaylistRewrite>& playlists, std::vector<Move>& moves, MovesUndone& result)
{
    PlaylistUndo undo;
    for (auto playlist = playlists.rbegin(); playlist != playlists.rend(); ++playlist) {
        const Found found = lookAt(*playlist);
        if (found == Found::AsBefore)
            continue; // the run ended before its rewrite: a carried one goes back with the moves
        std::optional<fs::FileIdentity> known = fs::identityOf(playlist->path);
        if (playlist->carried()) {
            const auto carried
                = std::find_if(moves.begin(), moves.end(), [&](const Move& move) { return move.to == playlist->path; });
            known = carried == moves.end() ? std::nullopt : std::optional(carried->identity);
            std::erase_if(moves, [&](const Move& move) { return move.to == playlist->path; });
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

void restorePlaylists(PlaylistUndo& undo, MovesUndone& result, const std::vector<std::string>& madeFolders, bool dryRun)
{
    bool carriedBack = false;
    std::vector<RewrittenFile> known = std::move(undo.newInodes);
    undo.newInodes.clear();
    for (std::size_t k = 0; k < undo.restore.size(); ++k) {
        PlaylistRewrite& playlist = undo.restore[k];
        if (playlist.carried() && exists(playlist.before)) {
            leaveAlone(result, playlist.path, "its old path is taken: " + playlist.before);
            undo.kept.push_back(std::move(playlist));
            continue;
        }
        if (!dryRun && lookAt(playlist) != Found::AsRewritten) {
            leaveAlone(result, playlist.path, "the playlist was changed since the run: left as it is");
            continue;
        }
        if (!dryRun && !fs::replaceFileAtomically(playlist.before, playlist.oldBytes)) {
            leaveAlone(result, playlist.path, "cannot be written back: " + playlist.before);
            undo.kept.push_back(std::move(playlist));
            continue;
        }
        if (playlist.carried()) {
            if (!dryRun)
                ::unlink(playlist.path.c_str());
            const auto identity = dryRun ? std::nullopt : fs::identityOf(playlist.before);
            result.back.push_back({ playlist.before, playlist.path, identity.value_or(fs::FileIdentity {}) });
            ++result.movedBack;
            carriedBack = true;
        }
        undo.restored.push_back(playlist.before);
        if (!dryRun)
            undo.newInodes.push_back(known[k]);
    }
    if (carriedBack && !dryRun)
        result.foldersRemoved += removeEmptyFoldersAtOnce(madeFolders);
}

} // namespace zentrio
