#pragma once

#include "tags/write/oggpage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The header packets that open an Ogg Vorbis or Opus stream, found by what
// the stream holds (an ".ogg" file may hold Opus): Vorbis' identification,
// comment and setup headers, Opus' OpusHead and OpusTags. Both formats put
// the first header alone on the first page and start the audio on a fresh
// page, so the headers fill whole pages that a tag write can lay out anew.
namespace zentrio {

enum class OggCodec : std::uint8_t { Vorbis, Opus };

struct OggPacket {
    std::string bytes;
    bool startsPage = false; // its first byte opened a page
};

struct OggHeaders {
    OggCodec codec = OggCodec::Vorbis;
    std::uint32_t serial = 0;
    std::vector<std::uint32_t> sequences; // of the header pages, in their order
    std::size_t firstPageSize = 0;
    std::vector<OggPacket> packets;
    std::size_t end = 0; // the first byte after them: the first audio page
};

// The headers read from offset 0. nullopt (never written): no Ogg page
// there, a damaged page (bad CRC, bytes missing), another stream's page
// among them (a multiplexed file), a codec other than Vorbis and Opus (FLAC
// in Ogg, Speex...), a header without its signature, a first page holding
// more than the first header, audio on the last header page, a header page
// that ends the stream, or headers over 16 MiB or 4096 pages.
std::optional<OggHeaders> oggHeadersOf(const OggReadAt& read);

} // namespace zentrio
