#include "playlist/playlist.h"

#include "platform/filenames.h"
#include "platform/fsops.h"
#include "tags/folderscan.h"

namespace zentrio {

std::string playlistContent(const std::string& folder, bool* ok)
{
    const Mp3Listing listing = listMp3Names(folder);
    *ok = listing.outcome == Mp3Listing::Outcome::Listed;
    std::string content;
    for (const std::string& name : listing.names) {
        content += name;
        content += "\r\n";
    }
    return content;
}

bool writePlaylist(const std::string& folder)
{
    bool listed = false;
    const std::string content = playlistContent(folder, &listed);
    return listed && fs::replaceFileAtomically(joinPath(folder, kPlaylistName), content);
}

} // namespace zentrio
