#pragma once

#include "tags/read/audiofile.h"

#include <string>

namespace zentrio {

inline constexpr char kPlaylistName[] = "playlist.m3u";

// Writes "playlist.m3u" into the folder: its MP3 files, or its audio files
// of `formats` (the formats the window lists). The file is replaced only
// once the new one is complete, so a failure leaves an existing playlist as
// it was.
bool writePlaylist(const std::string& folder, AudioFormats formats = AudioFormats::only(AudioFormat::Mp3));

} // namespace zentrio
