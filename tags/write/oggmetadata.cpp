#include "tags/write/oggmetadata.h"

#include "tags/write/oggheaders.h"
#include "tags/write/vorbiscomment.h"

#include <algorithm>
#include <vector>

namespace zentrio {

namespace {

    // A segment of the headers after the first page, as it will be laid out.
    struct Segment {
        std::uint8_t size;
        bool firstOfPacket;
        bool packetStartedPage; // the packet opened a page before, and should again
    };

    std::vector<Segment> segmentsOf(const std::vector<OggPacket>& packets)
    {
        std::vector<Segment> segments;
        for (const OggPacket& packet : packets) {
            std::size_t left = packet.bytes.size();
            for (bool first = true;; first = false) {
                const std::size_t size = std::min(left, kOggMaxSegments);
                segments.push_back({ static_cast<std::uint8_t>(size), first, first && packet.startsPage });
                left -= size;
                if (size < kOggMaxSegments)
                    break; // a packet of a multiple of 255 bytes ends with an empty segment
            }
        }
        return segments;
    }

    // The number of segments on each of `pages` pages: as full as a page
    // holds (as Ogg's own library lays headers out), each page with one at
    // least, and a packet that opened a page opens one again where the rest
    // still fits. nullopt when the segments do not fit in that many pages.
    std::optional<std::vector<std::size_t>> pageSizes(const std::vector<Segment>& segments, std::size_t pages)
    {
        if (pages == 0 || segments.size() < pages || segments.size() > pages * kOggMaxSegments)
            return std::nullopt;
        std::vector<std::size_t> sizes(1, 0);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const std::size_t rest = segments.size() - i; // this one included
            const std::size_t after = pages - sizes.size(); // pages after the current one
            const bool mayClose = sizes.back() > 0 && rest <= after * kOggMaxSegments;
            const bool mustClose = sizes.back() == kOggMaxSegments || (sizes.back() > 0 && rest <= after);
            if (mustClose || (mayClose && segments[i].packetStartedPage))
                sizes.push_back(0);
            ++sizes.back();
        }
        if (sizes.size() != pages)
            return std::nullopt;
        return sizes;
    }

    // The packets after the first page, in as many pages as the headers
    // filled, each under the number it had.
    std::optional<std::string> laidOut(const OggHeaders& headers, const std::vector<OggPacket>& packets)
    {
        const std::vector<Segment> segments = segmentsOf(packets);
        const auto sizes = pageSizes(segments, headers.sequences.size() - 1);
        if (!sizes)
            return std::nullopt;
        std::string all;
        for (const OggPacket& packet : packets)
            all += packet.bytes;
        std::string out;
        std::size_t segment = 0;
        std::size_t at = 0;
        for (std::size_t page = 0; page < sizes->size(); ++page) {
            OggPage next;
            next.serial = headers.serial;
            next.sequence = headers.sequences[page + 1];
            next.flags = segments[segment].firstOfPacket ? 0 : kOggContinued;
            next.granule = kOggNoGranule;
            for (std::size_t n = 0; n < (*sizes)[page]; ++n, ++segment) {
                next.lacing.push_back(static_cast<char>(segments[segment].size));
                if (segments[segment].size < kOggMaxSegments)
                    next.granule = 0; // a header packet ends here
            }
            std::size_t bytes = 0;
            for (const char size : next.lacing)
                bytes += static_cast<unsigned char>(size);
            next.body = all.substr(at, bytes);
            at += bytes;
            out += renderedOggPage(next);
        }
        return out;
    }

    std::string_view commentSignature(OggCodec codec) { return codec == OggCodec::Opus ? "OpusTags" : "\x03vorbis"; }

} // namespace

std::optional<std::size_t> oggRegionEnd(const OggReadAt& read, std::int64_t)
{
    const auto headers = oggHeadersOf(read);
    return headers ? std::optional(headers->end) : std::nullopt;
}

std::optional<std::string> oggRegionWithValues(std::string_view region, const TagValues& values)
{
    const auto read = [&](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset < 0 || std::size_t(offset) + count > region.size())
            return std::nullopt;
        return std::string(region.substr(std::size_t(offset), count));
    };
    const auto headers = oggHeadersOf(read);
    if (!headers || headers->end != region.size())
        return std::nullopt;
    // The comment's body lies between its signature and, in Vorbis, the
    // framing bit; what follows the entries (the framing bit, Opus' extra
    // data) is kept as it is by the comment's editor.
    const std::string_view signature = commentSignature(headers->codec);
    std::vector<OggPacket> packets(headers->packets.begin() + 1, headers->packets.end());
    const auto body = withVorbisValues(std::string_view(packets.front().bytes).substr(signature.size()), values);
    if (!body)
        return std::nullopt;
    packets.front().bytes = std::string(signature) + *body;
    const auto pages = laidOut(*headers, packets);
    if (!pages)
        return std::nullopt;
    return std::string(region.substr(0, headers->firstPageSize)) + *pages;
}

} // namespace zentrio
