#pragma once

#include "rename/playlists/playlistrecord.h"

#include <string>
#include <vector>

// The copies a playlist's rewrite leaves behind when the program is killed
// after writing one and before renaming it over the playlist: a hidden
// ".NAME.XXXXXX" beside it. Its undo removes those that hold the bytes the
// run wrote or the playlist's old ones (the undo's own write-back makes the
// same kind of copy); a file of that name holding anything else is not one
// of them and stays.
namespace zentrio {

struct RewriteCopies {
    std::vector<std::string> ours; // the run's new bytes or the playlist's old ones
    std::vector<std::string> others; // of that name, holding other bytes
};

// The copies beside the playlist where the run left it and where it lay.
RewriteCopies rewriteCopiesOf(const PlaylistRewrite& playlist);

// Each copy removed, each folder synced once after; the count removed.
int removeRewriteCopies(const std::vector<std::string>& copies);

} // namespace zentrio
