#pragma once

// A library of several formats, as a real one is: MP3 rips, FLAC rips and
// M4A purchases, and the floors that read each format's metadata the way
// the format lays it out.

#include <string>
#include <vector>

namespace bench {

// makeLibrary's folders and names, with 12 files of each album of 20 as
// MP3, 5 as FLAC and 3 as M4A (60%, 25%, 15%), each tagged by its own
// format (title, artist, album, album artist, track "N/20", year), every
// tenth with a 100 KiB cover. Returns the paths in path order.
std::vector<std::string> makeMixedLibrary(const std::string& root, int files);

// The floor's reads of a FLAC file (the block headers up to the first
// audio frame, and the comment's body) or an M4A file (the atom headers on
// the path to its item list, and the list's body).
void readFlacMetadata(const std::string& path);
void readMp4Items(const std::string& path);

} // namespace bench
