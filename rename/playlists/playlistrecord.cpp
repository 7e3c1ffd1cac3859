#include "rename/playlists/playlistrecord.h"

#include "platform/fs/digest.h"
#include "rename/history/journalrecord.h"

namespace zentrio {

namespace {

constexpr std::string_view kWord = "playlist ";

} // namespace

std::string formatPlaylistLine(const PlaylistRewrite& rewrite)
{
    return std::string(kWord) + escapePath(rewrite.path) + ' ' + escapePath(rewrite.before) + ' '
        + digestText(rewrite.newDigest) + ' ' + escapePath(rewrite.oldBytes) + '\n';
}

std::string formatPlaylistLines(const std::vector<PlaylistRewrite>& rewrites)
{
    std::string lines;
    for (const PlaylistRewrite& rewrite : rewrites)
        lines += formatPlaylistLine(rewrite);
    return lines;
}

std::optional<PlaylistRewrite> parsePlaylistLine(std::string_view line)
{
    if (!line.starts_with(kWord))
        return std::nullopt;
    line.remove_prefix(kWord.size());
    std::string_view words[4];
    for (int k = 0; k < 3; ++k) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        words[k] = line.substr(0, space);
        line.remove_prefix(space + 1);
    }
    words[3] = line; // an empty playlist's old bytes are an empty word
    PlaylistRewrite rewrite;
    auto path = unescapePath(words[0]);
    auto before = unescapePath(words[1]);
    auto oldBytes = unescapePath(words[3]);
    if (!path || !before || path->empty() || before->empty() || !oldBytes
        || !parseDigestText(words[2], rewrite.newDigest))
        return std::nullopt;
    rewrite.path = std::move(*path);
    rewrite.before = std::move(*before);
    rewrite.oldBytes = std::move(*oldBytes);
    return rewrite;
}

} // namespace zentrio
