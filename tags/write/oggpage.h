#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// One page of an Ogg stream as it lies in the file: a 27-byte header, a
// segment table (one length a segment; 255 means the packet goes on into
// the next segment) and the segments' bytes, guarded by a CRC over the page.
namespace zentrio {

using OggReadAt = std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)>;

inline constexpr std::size_t kOggPageHeader = 27;
inline constexpr std::size_t kOggMaxSegments = 255;
inline constexpr std::uint8_t kOggContinued = 0x01; // its first segment goes on with a packet of an earlier page
inline constexpr std::uint8_t kOggFirstPage = 0x02;
inline constexpr std::uint8_t kOggLastPage = 0x04;
// The granule position of a page on which no packet ends.
inline constexpr std::uint64_t kOggNoGranule = ~std::uint64_t(0);

struct OggPage {
    std::uint8_t flags = 0;
    std::uint64_t granule = 0;
    std::uint32_t serial = 0;
    std::uint32_t sequence = 0;
    std::string lacing; // the segment table
    std::string body;
    std::size_t size() const { return kOggPageHeader + lacing.size() + body.size(); }
};

// The page at `offset`; nullopt when no page of version 0 begins there, it
// runs past the bytes, or its CRC does not match.
std::optional<OggPage> readOggPage(const OggReadAt& read, std::int64_t offset);

// The page's bytes with its CRC.
std::string renderedOggPage(const OggPage& page);

} // namespace zentrio
