#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The metadata blocks of a FLAC file as they lie at its start: any ID3v2
// tags before it, "fLaC", then its blocks up to the first audio frame.
namespace zentrio {

struct FlacBlock {
    std::uint8_t type = 0; // 1 padding, 4 Vorbis comment, 6 picture...
    std::size_t offset = 0; // of its 4-byte header
    std::size_t length = 0; // of its body
};

struct FlacMetadata {
    std::size_t marker = 0; // where "fLaC" stands
    std::vector<FlacBlock> blocks;
    std::size_t end = 0; // the first byte after the metadata: the audio
};

inline constexpr std::uint8_t kFlacPadding = 1;
inline constexpr std::uint8_t kFlacComment = 4;

using ReadAt = std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)>;

// The metadata of a file `length` bytes long; nullopt when it is no FLAC
// file, or its blocks claim more bytes than it holds.
std::optional<FlacMetadata> flacMetadataOf(const ReadAt& read, std::int64_t length);

} // namespace zentrio
