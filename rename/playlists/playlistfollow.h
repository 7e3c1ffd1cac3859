#pragma once

#include "rename/history/journalfolder.h"
#include "rename/moves/moverun.h"
#include "rename/playlists/playlistrecord.h"

#include <string>
#include <vector>

// Playlists that follow a run: each ".m3u"/".m3u8" the run carried, and
// each one left in a folder files were moved or renamed out of, gets its
// lines that name moved files rewritten (rename/playlists/playlisttext.h). Each is
// recorded first (its old bytes in the run's record, synced), then written
// beside itself, synced and renamed over, so a run ended at any moment
// leaves every playlist whole and undo can put the old bytes back.
namespace zentrio {

struct PlaylistNotFollowed {
    std::string path;
    std::string reason; // the playlist was left as it was
};

struct PlaylistsFollowed {
    std::vector<std::string> rewritten; // the playlists' paths
    std::vector<PlaylistNotFollowed> failures;
};

// `steps` and `done` as the run made them; called before the run's end is
// written, while its record is still held.
PlaylistsFollowed followPlaylists(const std::vector<Move>& steps, const MovesDone& done, RunWriter& journal);

// What a dry run says: the playlists the run would rewrite, where they
// would lie, if it made every step.
std::vector<std::string> playlistsToRewrite(const std::vector<Move>& steps);

} // namespace zentrio
