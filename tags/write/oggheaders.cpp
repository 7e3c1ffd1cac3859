#include "tags/write/oggheaders.h"

#include <string_view>

namespace zentrio {

namespace {

    constexpr std::size_t kMaxPages = 4096;
    constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;

    std::optional<OggCodec> codecOf(std::string_view identification)
    {
        if (identification.starts_with("\x01vorbis"))
            return OggCodec::Vorbis;
        if (identification.starts_with("OpusHead"))
            return OggCodec::Opus;
        return std::nullopt;
    }

    // Each header's signature, in their order.
    std::vector<std::string_view> signaturesOf(OggCodec codec)
    {
        if (codec == OggCodec::Opus)
            return { "OpusHead", "OpusTags" };
        return { "\x01vorbis", "\x03vorbis", "\x05vorbis" };
    }

    // The packets' bytes as the page's segments give them: a segment under
    // 255 bytes ends its packet; `open` says the last packet goes on.
    void takeSegments(const OggPage& page, std::vector<OggPacket>& packets, bool& open)
    {
        std::size_t at = 0;
        for (std::size_t i = 0; i < page.lacing.size(); ++i) {
            const std::size_t size = static_cast<unsigned char>(page.lacing[i]);
            if (!open)
                packets.push_back({ {}, i == 0 });
            packets.back().bytes.append(page.body, at, size);
            at += size;
            open = size == kOggMaxSegments;
        }
    }

    bool pageFollows(const OggPage& page, std::size_t index, std::uint32_t serial, bool open)
    {
        if ((page.flags & kOggLastPage) != 0)
            return false;
        if (index == 0)
            return (page.flags & (kOggFirstPage | kOggContinued)) == kOggFirstPage;
        const bool continued = (page.flags & kOggContinued) != 0;
        return page.serial == serial && (page.flags & kOggFirstPage) == 0 && continued == open;
    }

} // namespace

std::optional<OggHeaders> oggHeadersOf(const OggReadAt& read)
{
    OggHeaders headers;
    std::vector<std::string_view> signatures;
    bool open = false;
    for (std::size_t index = 0; index < kMaxPages && headers.end <= kMaxBytes; ++index) {
        const auto page = readOggPage(read, static_cast<std::int64_t>(headers.end));
        if (!page || !pageFollows(*page, index, headers.serial, open))
            return std::nullopt;
        takeSegments(*page, headers.packets, open);
        headers.serial = page->serial;
        headers.sequences.push_back(page->sequence);
        headers.end += page->size();
        if (index == 0) {
            // The first header alone, as both formats lay it out.
            if (headers.packets.size() != 1 || open)
                return std::nullopt;
            const auto codec = codecOf(headers.packets.front().bytes);
            if (!codec)
                return std::nullopt;
            headers.codec = *codec;
            headers.firstPageSize = page->size();
            signatures = signaturesOf(*codec);
        }
        const std::size_t complete = headers.packets.size() - (open ? 1 : 0);
        for (std::size_t i = 0; i < complete && i < signatures.size(); ++i) {
            if (!std::string_view(headers.packets[i].bytes).starts_with(signatures[i]))
                return std::nullopt;
        }
        if (complete >= signatures.size()) {
            // The last header ends its page: audio on it would share a page
            // that a write lays out anew.
            if (headers.packets.size() != signatures.size())
                return std::nullopt;
            return headers;
        }
    }
    return std::nullopt;
}

} // namespace zentrio
