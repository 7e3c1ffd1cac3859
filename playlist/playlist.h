#pragma once

#include <string>

namespace zentrio {

inline constexpr char kPlaylistName[] = "playlist.m3u";

// The playlist's content: each MP3 name of the folder as the file system
// stores it, in byte order, every line ended by CR LF; no header.
std::string playlistContent(const std::string& folder, bool* ok);

// Writes "playlist.m3u" into the folder. The file is replaced only once the
// new one is complete, so a failure leaves an existing playlist as it was.
bool writePlaylist(const std::string& folder);

} // namespace zentrio
