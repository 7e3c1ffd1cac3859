#pragma once

#include "tags/read/audiospan.h"
#include "tags/read/trailer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Files grouped by a key they share: the length and digest of their audio,
// or their artist, album and song. Only files whose audio length equals
// another's are worth a digest, and in a library most lengths are unique,
// so most files are never read in full.
namespace zentrio {

// The indices of the lengths that another index shares; a negative length
// (no audio span) shares nothing.
std::vector<std::size_t> sharedLengths(const std::vector<std::int64_t>& lengths);

// The key of the same audio: its format (the same bytes are other sound as
// FLAC frames and as MP3 frames), its length and digest, and the bytes that
// describe how it is played (AudioSpan::described: a WAV file's rate and
// channels), whole, since a digest of them could meet another's.
std::string audioKey(AudioFormat format, const AudioSpan& span, std::uint64_t digest);

// The key of the same song: artist, album and song, trimmed and compared
// without regard to letter case; nullopt when the song or the artist is
// empty (every untagged file would be one group).
std::optional<std::string> tagKey(const TagFields& tag);

// The indices of equal keys, two or more to a group, each group in index
// order; the largest groups first, then by their first index. A nullopt key
// is in no group.
std::vector<std::vector<std::size_t>> groupsByKey(const std::vector<std::optional<std::string>>& keys);

} // namespace zentrio
