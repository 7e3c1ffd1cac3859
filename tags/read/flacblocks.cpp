#include "tags/read/flacblocks.h"

#include "tags/read/id3v2.h"

namespace zentrio {

namespace {

    constexpr std::size_t kHeader = 4;
    constexpr std::size_t kMaxBlocks = 4096;

} // namespace

std::optional<FlacMetadata> flacMetadataOf(const ReadAt& read, std::int64_t length)
{
    FlacMetadata metadata;
    // ID3v2 tags some programs put before the marker.
    while (true) {
        const auto header = read(static_cast<std::int64_t>(metadata.marker), kId3v2HeaderSize);
        const std::size_t tag = header ? id3v2TagSize(*header) : 0;
        if (tag == 0)
            break;
        metadata.marker += tag;
    }
    const auto marker = read(static_cast<std::int64_t>(metadata.marker), 4);
    if (!marker || *marker != "fLaC")
        return std::nullopt;
    std::size_t at = metadata.marker + 4;
    for (bool last = false; !last;) {
        const auto header = read(static_cast<std::int64_t>(at), kHeader);
        if (!header)
            return std::nullopt;
        const auto byte = [&](int i) { return static_cast<unsigned char>((*header)[i]); };
        last = (byte(0) & 0x80) != 0;
        const FlacBlock block { static_cast<std::uint8_t>(byte(0) & 0x7F), at,
            (std::size_t(byte(1)) << 16) | (std::size_t(byte(2)) << 8) | byte(3) };
        if (block.type == 127 || static_cast<std::int64_t>(at + kHeader + block.length) > length)
            return std::nullopt;
        metadata.blocks.push_back(block);
        if (metadata.blocks.size() > kMaxBlocks)
            return std::nullopt; // no encoder writes so many; TagLib's reader decides

        at += kHeader + block.length;
    }
    if (metadata.blocks.empty() || metadata.blocks.front().type != 0)
        return std::nullopt; // STREAMINFO comes first
    metadata.end = at;
    return metadata;
}

} // namespace zentrio
