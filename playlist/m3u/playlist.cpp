#include "playlist/m3u/playlist.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "tags/read/folderscan.h"

#include <optional>

namespace zentrio {

namespace {

    // Each listed name of the folder as the file system stores it, in byte
    // order, every line ended by CR LF; no header. Nullopt when the folder
    // cannot be listed or holds too many.
    std::optional<std::string> playlistContent(const std::string& folder, AudioFormats formats)
    {
        const Mp3Listing listing = listAudioNames(folder, formats);
        if (listing.outcome != Mp3Listing::Outcome::Listed)
            return std::nullopt;
        std::string content;
        for (const std::string& name : listing.names) {
            content += name;
            content += "\r\n";
        }
        return content;
    }

} // namespace

bool writePlaylist(const std::string& folder, AudioFormats formats)
{
    const auto content = playlistContent(folder, formats);
    return content && fs::replaceFileAtomically(joinPath(folder, kPlaylistName), *content);
}

} // namespace zentrio
