#include "tags/read/formatguard.h"

#include "tags/read/id3v2.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zentrio {

namespace {

    constexpr int kMaxDepth = 16; // MP4 nests about six deep
    constexpr std::size_t kMaxAtoms = 100000;
    constexpr std::size_t kMaxChapters = 4096; // audiobooks have hundreds
    constexpr std::size_t kMaxApeTag = 16 * 1024 * 1024;
    constexpr std::size_t kMaxApeNuls = 4096;

    std::uint32_t be32(std::string_view b, std::size_t at)
    {
        return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16)
            | (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
    }

    std::uint32_t le32(std::string_view b, std::size_t at)
    {
        return std::uint8_t(b[at]) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8)
            | (std::uint32_t(std::uint8_t(b[at + 2])) << 16) | (std::uint32_t(std::uint8_t(b[at + 3])) << 24);
    }

    // The atoms TagLib reads the children of, and the bytes before them.
    std::size_t childrenAt(std::string_view name)
    {
        static constexpr std::array<std::string_view, 11> kContainers { "moov", "udta", "mdia", "meta", "ilst", "stbl",
            "minf", "moof", "traf", "trak", "stsd" };
        if (std::find(kContainers.begin(), kContainers.end(), name) == kContainers.end())
            return 0;
        return name == "meta" ? 12 : name == "stsd" ? 16 : 8;
    }

    // MP4's atoms, walked without recursion: no deeper than kMaxDepth, no
    // more than kMaxAtoms.
    bool mp4IsSound(const GuardedFile& file)
    {
        struct Span {
            std::int64_t from, to;
            int depth;
        };
        std::vector<Span> spans { { 0, file.length(), 0 } };
        std::size_t atoms = 0;
        while (!spans.empty()) {
            Span span = spans.back();
            spans.pop_back();
            for (std::int64_t at = span.from; at + 8 <= span.to;) {
                if (++atoms > kMaxAtoms)
                    return false;
                const auto header = file.readAt(at, 8);
                if (!header)
                    return true; // TagLib stops where the bytes end
                std::int64_t size = be32(*header, 0);
                if (size == 1) {
                    const auto large = file.readAt(at + 8, 8);
                    if (!large)
                        return true;
                    size = (std::int64_t(be32(*large, 0)) << 32) | be32(*large, 4);
                }
                if (size < 8 || at + size > span.to)
                    break; // TagLib stops at a damaged atom too
                if (const std::size_t skip = childrenAt(std::string_view(*header).substr(4))) {
                    if (span.depth + 1 > kMaxDepth)
                        return false;
                    spans.push_back({ at + std::int64_t(skip), at + size, span.depth + 1 });
                }
                at += size;
            }
        }
        return true;
    }

    // An ID3v2 tag of `size` bytes at `offset`: refused with more chapter
    // frames than any book has, which is how chapters nest without end.
    bool id3v2IsSound(const GuardedFile& file, std::int64_t offset, std::int64_t size)
    {
        const auto bytes = file.readAt(offset, static_cast<std::size_t>(std::min(size, file.length() - offset)));
        if (!bytes)
            return true;
        std::size_t chapters = 0;
        for (const std::string_view id : { "CHAP", "CTOC" }) {
            for (std::size_t at = bytes->find(id); at != std::string::npos; at = bytes->find(id, at + 4))
                ++chapters;
        }
        return chapters <= kMaxChapters;
    }

    bool flacIsSound(const GuardedFile& file)
    {
        std::int64_t at = 0;
        while (const auto header = file.readAt(at, kId3v2HeaderSize)) {
            const std::size_t tag = id3v2TagSize(*header);
            if (tag == 0)
                break;
            if (!id3v2IsSound(file, at, static_cast<std::int64_t>(tag)))
                return false;
            at += static_cast<std::int64_t>(tag);
        }
        return true;
    }

    // The ID3 chunks of a RIFF (little-endian sizes) or IFF (big-endian) file.
    bool chunksAreSound(const GuardedFile& file, bool bigEndian)
    {
        for (std::int64_t at = 12; at + 8 <= file.length();) {
            const auto header = file.readAt(at, 8);
            if (!header)
                return true;
            const std::int64_t size = bigEndian ? be32(*header, 4) : le32(*header, 4);
            const std::string_view id = std::string_view(*header).substr(0, 4);
            if ((id == "id3 " || id == "ID3 " || id == "ID32") && !id3v2IsSound(file, at + 8, size))
                return false;
            at += 8 + size + (size & 1);
        }
        return true;
    }

    // The NULs in the values of an APE tag's text items (`count` of them at
    // most), where TagLib splits a value into one string each.
    std::size_t textNulsOf(std::string_view items, std::uint32_t count)
    {
        std::size_t nuls = 0;
        std::size_t at = 0;
        for (std::uint32_t i = 0; i < count && at + 8 <= items.size(); ++i) {
            const std::uint32_t size = le32(items, at);
            const bool text = ((le32(items, at + 4) >> 1) & 3) == 0;
            const std::size_t key = items.find('\0', at + 8);
            if (key == std::string_view::npos || key + 1 + size > items.size())
                break;
            const std::string_view value = items.substr(key + 1, size);
            if (text)
                nuls += static_cast<std::size_t>(std::count(value.begin(), value.end(), '\0'));
            at = key + 1 + size;
        }
        return nuls;
    }

    // An APE tag at the end (before an ID3v1 record): its size, and the NULs
    // its text items would be split at.
    bool apeIsSound(const GuardedFile& file)
    {
        for (const std::int64_t before : { std::int64_t(0), std::int64_t(128) }) {
            const auto footer = file.readAt(file.length() - before - 32, 32);
            if (!footer || !footer->starts_with("APETAGEX"))
                continue;
            const std::uint32_t size = le32(*footer, 12);
            if (size > kMaxApeTag || size < 32)
                return false;
            const auto items = file.readAt(file.length() - before - size, size - 32);
            return !items || textNulsOf(*items, le32(*footer, 16)) <= kMaxApeNuls;
        }
        return true;
    }

} // namespace

bool safeForTagLib(const fs::FileReader& file, AudioFormat format)
{
    return safeForTagLib(
        GuardedFile { file.length(), [&](std::int64_t offset, std::size_t count) { return file.readAt(offset, count); } },
        format);
}

bool safeForTagLib(const GuardedFile& file, AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp4:
        return mp4IsSound(file);
    case AudioFormat::Flac:
        return flacIsSound(file);
    case AudioFormat::Wav:
        return chunksAreSound(file, false);
    case AudioFormat::Aiff:
        return chunksAreSound(file, true);
    case AudioFormat::WavPack:
    case AudioFormat::Ape:
        return apeIsSound(file);
    case AudioFormat::Mp3:
    case AudioFormat::Ogg:
    case AudioFormat::Opus:
        return true;
    }
    return true;
}

} // namespace zentrio
