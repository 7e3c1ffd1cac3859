#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A playlist a run rewrote, as its record keeps it: one "playlist" line
// after "begin", written and synced before the playlist is replaced, so an
// undo after a crash at any moment still has the old bytes. Older records
// have no such line; older programs skip it as an unknown mark.
namespace zentrio {

struct PlaylistRewrite {
    std::string path; // where the rewritten playlist lies after the run
    std::string before; // where it lay before (path itself unless the run carried it)
    std::uint64_t newDigest = 0; // of the bytes the run wrote
    std::string oldBytes; // the playlist as it was, byte for byte
    bool carried() const { return path != before; }
};

// "playlist PATH BEFORE DIGEST OLDBYTES\n", every byte of the paths and the
// old bytes escaped as the record's paths are.
std::string formatPlaylistLine(const PlaylistRewrite& rewrite);
std::string formatPlaylistLines(const std::vector<PlaylistRewrite>& rewrites);
std::optional<PlaylistRewrite> parsePlaylistLine(std::string_view line);

} // namespace zentrio
