#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// A playlist's lines that name moved files, rewritten to the files' new
// paths. Works on bytes: a ".m3u8" is UTF-8 and a ".m3u" keeps whatever
// bytes it has, so every line not rewritten stays byte for byte, and so do
// the line ends ("\n" or "\r\n") and a byte-order mark.
namespace zentrio {

// True for ".m3u" and ".m3u8" in any letter case.
bool isPlaylistName(std::string_view name);

// The playlist's text with each entry (a line that is neither blank, nor a
// "#" comment such as #EXTM3U or #EXTINF, nor a URL) that names a key of
// `moved` rewritten to its value: a relative entry relative to `newFolder`,
// an absolute one as the new absolute path. Relative entries are read from
// `oldFolder`, the folder the playlist lay in when the files moved. Paths
// in `moved` are absolute and plain (no "." or ".." parts). Nullopt when no
// entry names a moved file.
std::optional<std::string> rewritePlaylist(std::string_view text, const std::string& oldFolder,
    const std::string& newFolder, const std::unordered_map<std::string, std::string>& moved);

// "a/./b/../c" as "a/c"; ".." above the root stays at the root.
std::string plainPath(std::string_view absolute);
// `target` seen from `folder`, both absolute and plain: "x.mp3", "CD1/x.mp3", "../B/x.mp3".
std::string relativePath(const std::string& folder, const std::string& target);

} // namespace zentrio
