#pragma once

#include <string>

namespace zentrio {

inline constexpr char kPlaylistName[] = "playlist.m3u";

// Writes "playlist.m3u" into the folder. The file is replaced only once the
// new one is complete, so a failure leaves an existing playlist as it was.
bool writePlaylist(const std::string& folder);

} // namespace zentrio
