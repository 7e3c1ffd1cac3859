#include "tags/write/riffchunks.h"

#include "tags/read/id3v2.h"
#include "tags/write/frameedit.h"
#include "tags/write/tagchange.h"

#include <algorithm>

namespace zentrio {

namespace {

    // A file laid out for playback has a handful of chunks.
    constexpr int kMaxChunks = 4096;

    struct Order {
        bool bigEndian = false;
        std::string_view audio; // the chunk that holds the samples
    };
    constexpr Order kRiff { false, "data" };
    constexpr Order kForm { true, "SSND" };

    std::uint32_t sizeAt(std::string_view bytes, std::size_t at, const Order& order)
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes[at + (order.bigEndian ? i : 3 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }

    std::string sizeBytes(std::uint32_t size, const Order& order)
    {
        std::string bytes(4, '\0');
        for (std::size_t i = 0; i < 4; ++i)
            bytes[order.bigEndian ? 3 - i : i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        return bytes;
    }

    bool isId3Chunk(std::string_view id) { return id == "ID3 " || id == "id3 "; }

    // TagLib stops reading chunks at an id that is not four printable
    // characters: a chunk after one is no chunk it sees.
    bool isChunkId(std::string_view id)
    {
        return std::all_of(id.begin(), id.end(), [](char c) { return c >= 32 && c < 127; });
    }

    bool isFileHeader(std::string_view header, const Order& order)
    {
        if (order.bigEndian)
            return header.starts_with("FORM") && (header.substr(8, 4) == "AIFF" || header.substr(8, 4) == "AIFC");
        return header.starts_with("RIFF") && header.substr(8, 4) == "WAVE";
    }

    std::optional<EndRegionPlace> placeOf(const RegionReadAt& read, std::int64_t length, const Order& order)
    {
        const auto header = length >= 12 ? read(0, 12) : std::nullopt;
        if (!header || !isFileHeader(*header, order) || std::int64_t(sizeAt(*header, 4, order)) + 8 != length)
            return std::nullopt;
        EndRegionPlace place { length, { { 0, 12 } } };
        std::optional<std::int64_t> tagAt;
        bool audioSeen = false;
        std::int64_t context = 12;
        std::int64_t at = 12;
        for (int chunks = 0; at < length; ++chunks) {
            const auto chunk = length - at >= 8 && chunks < kMaxChunks ? read(at, 8) : std::nullopt;
            if (!chunk || !isChunkId(chunk->substr(0, 4)))
                return std::nullopt;
            const std::string_view id = std::string_view(*chunk).substr(0, 4);
            const std::int64_t size = sizeAt(*chunk, 4, order);
            const std::int64_t next = at + 8 + size + (size & 1); // padded to an even size
            if (next > length)
                return std::nullopt;
            if (isId3Chunk(id)) {
                if (tagAt || !audioSeen)
                    return std::nullopt; // two tags, or one before the audio
                tagAt = at;
            } else if (id == order.audio) {
                if (audioSeen || tagAt)
                    return std::nullopt; // two audio chunks, or audio after the tag
                audioSeen = true;
            } else if (!tagAt) {
                context += next - at;
                place.context.push_back({ at, next - at });
            }
            at = next;
        }
        if (!audioSeen || context > kMaxRegionContext)
            return std::nullopt;
        place.offset = tagAt.value_or(length);
        if (length - place.offset > std::int64_t(kMaxStartRegion))
            return std::nullopt;
        return place;
    }

    // A chunk of that id around `body`, padded to an even size.
    std::string chunkOf(std::string_view id, std::string_view body, const Order& order)
    {
        std::string chunk = std::string(id) + sizeBytes(static_cast<std::uint32_t>(body.size()), order) + std::string(body);
        if (body.size() % 2 != 0)
            chunk += '\0';
        return chunk;
    }

    // The padded tag's size, so that the chunk holding it (and the bytes
    // after the tag in it) needs no pad byte: `room` to spare at least.
    std::size_t evenSize(std::size_t tag, std::size_t room, std::size_t after)
    {
        return tag + room + ((tag + room + after) % 2);
    }

    std::optional<std::string> withValues(std::string_view region, const TagValues& values, const Order& order)
    {
        if (region.empty()) {
            const std::string tag = newTagOf(id3v2FramesOf(values, 3));
            if (tag.empty())
                return std::string(); // nothing to write, no chunk to add
            const auto padded = withPadding(tag, evenSize(tag.size(), kRoomToSpare, 0));
            return padded ? std::optional(chunkOf("ID3 ", *padded, order)) : std::nullopt;
        }
        if (region.size() < 8)
            return std::nullopt;
        const std::size_t size = sizeAt(region, 4, order);
        const std::size_t end = 8 + size + (size & 1);
        if (end > region.size())
            return std::nullopt;
        const std::string_view body = region.substr(8, size);
        const std::size_t tagSize = id3v2TagSize(body);
        if (tagSize == 0 || tagSize > body.size())
            return std::nullopt; // no tag the chunk holds whole
        const std::string_view after = body.substr(tagSize); // bytes after the tag, within the chunk
        const int version = static_cast<std::uint8_t>(body[3]);
        const auto edited = editFrames(body.substr(0, tagSize), id3v2FramesOf(values, version));
        if (!edited)
            return std::nullopt;
        auto tag = withPadding(edited->tag, tagSize);
        if (!tag)
            tag = withPadding(edited->tag, evenSize(edited->tag.size(), kRoomToSpare, after.size()));
        if (!tag)
            return std::nullopt;
        return chunkOf(region.substr(0, 4), *tag + std::string(after), order) + std::string(region.substr(end));
    }

} // namespace

std::optional<EndRegionPlace> wavRegionPlace(const RegionReadAt& read, std::int64_t length)
{
    return placeOf(read, length, kRiff);
}

std::optional<EndRegionPlace> aiffRegionPlace(const RegionReadAt& read, std::int64_t length)
{
    return placeOf(read, length, kForm);
}

std::optional<std::string> riffRegionWithValues(std::string_view region, const TagValues& values)
{
    return withValues(region, values, kRiff);
}

std::optional<std::string> aiffRegionWithValues(std::string_view region, const TagValues& values)
{
    return withValues(region, values, kForm);
}

} // namespace zentrio
