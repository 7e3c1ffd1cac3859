#pragma once

#include "tags/read/audiofile.h"
#include "tags/write/tagvalues.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The formats whose tags lie in one stretch of bytes at the file's start,
// before the audio: FLAC's metadata blocks, the header pages of Ogg Vorbis
// and Opus, MP4's movie atom with the free space after it. A write replaces
// that stretch (the region) as a whole: in place when the new one keeps its
// size, else through the same splice as a grown ID3v2 tag; undo puts the old
// region back. Each format says where its region ends and how its region takes
// new values; the checks around a write are the same for all of them.
namespace zentrio {

// The largest region a write reads: metadata past it (a FLAC file's blocks
// may claim up to 16 MiB each, 4096 of them) is refused before any of it is
// read into memory.
inline constexpr std::size_t kMaxStartRegion = 16 * 1024 * 1024;

using RegionReadAt = std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)>;

struct StartRegionFormat {
    // The region's length in a file of `length` bytes; nullopt for damaged
    // metadata, which no write touches.
    std::optional<std::size_t> (*regionEnd)(const RegionReadAt& read, std::int64_t length);
    // The region with the values written into it, every other byte of
    // metadata kept; nullopt when it cannot take them.
    std::optional<std::string> (*withValues)(std::string_view region, const TagValues& values);
    // The file's last bytes are read with the region, as a lister reads the
    // file: a FLAC file's ID3v1 record gives fields its comment lacks.
    bool tailGivesFields = false;
};

// nullopt for a format whose tags are not written this way.
std::optional<StartRegionFormat> startRegionFormat(AudioFormat format);

// Every format of the table.
AudioFormats startRegionFormats();

} // namespace zentrio
