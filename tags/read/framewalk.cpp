#include "tags/read/framewalk.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace zentrio {

namespace {

    constexpr std::size_t kHeaderSize = 10;
    constexpr std::array<std::string_view, 10> kWanted { "TIT2", "TPE1", "TALB", "TRCK", "TPOS", "TDRC", "TYER", "TCON",
        "TPE2", "TDAT" };

    std::uint8_t byteAt(std::string_view bytes, std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); }

    std::uint32_t plainNumber(std::string_view four)
    {
        return (std::uint32_t(byteAt(four, 0)) << 24) | (std::uint32_t(byteAt(four, 1)) << 16)
            | (std::uint32_t(byteAt(four, 2)) << 8) | std::uint32_t(byteAt(four, 3));
    }

    // Seven bits a byte; a byte with its top bit set means the writer put a
    // plain number there, and it is read as one (as TagLib reads it).
    std::uint32_t syncsafeNumber(std::string_view four)
    {
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            if (byteAt(four, i) & 0x80)
                return plainNumber(four);
            sum = (sum << 7) | byteAt(four, i);
        }
        return sum;
    }

    std::string syncsafeBytes(std::size_t size)
    {
        std::string out(4, '\0');
        for (int i = 3; i >= 0; --i) {
            out[static_cast<std::size_t>(i)] = static_cast<char>(size & 0x7F);
            size >>= 7;
        }
        return out;
    }

    // Version 2.2 frames have a 6-byte header (a 3-character id and a 3-byte
    // size, no flags); 2.3 and 2.4 frames a 10-byte one.
    std::size_t frameHeaderSize(std::uint8_t version) { return version == 2 ? 6 : kHeaderSize; }
    std::size_t idLength(std::uint8_t version) { return version == 2 ? 3 : 4; }

    std::uint32_t threeByteNumber(std::string_view three)
    {
        return (std::uint32_t(byteAt(three, 0)) << 16) | (std::uint32_t(byteAt(three, 1)) << 8) | std::uint32_t(byteAt(three, 2));
    }

    bool isFrameId(std::string_view id, std::size_t length = 4)
    {
        if (id.size() != length)
            return false;
        for (const char c : id) {
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        }
        return true;
    }

    class Walker {
    public:
        Walker(std::uint8_t version, std::size_t end, const ReadBytes& read)
            : m_version(version)
            , m_headerSize(frameHeaderSize(version))
            , m_end(end)
            , m_read(read)
        {
        }

        // The size of the frame whose header is at `at`: in 2.4 syncsafe,
        // unless that lands on no frame and a plain reading lands on one.
        std::size_t frameSize(std::size_t at, std::string_view header) const
        {
            if (m_version == 2)
                return threeByteNumber(header.substr(3, 3));
            const std::string_view sizeBytes = header.substr(4, 4);
            if (m_version == 3)
                return plainNumber(sizeBytes);
            const std::size_t size = syncsafeNumber(sizeBytes);
            if (size > 127 && !frameIdAt(at + kHeaderSize + size)) {
                const std::size_t plain = plainNumber(sizeBytes);
                if (frameIdAt(at + kHeaderSize + plain))
                    return plain;
            }
            return size;
        }

        bool compressedOrEncrypted(std::string_view header) const
        {
            const std::uint8_t format = byteAt(header, 9);
            return m_version == 3 ? (format & 0xC0) != 0 : (format & 0x0C) != 0;
        }

        bool frameIdAt(std::size_t at) const
        {
            const std::size_t length = idLength(m_version);
            return at + length <= m_end && isFrameId(m_read(at, length), length);
        }

        // Calls visit(header, at, size) for each frame from `at` on, where
        // `size` is the body's; gives where the frames end and whether the
        // walk reached their end (a zero byte or the tag's end), rather than
        // bytes that are no frame or a frame running past the end. visit
        // returns false to stop.
        template <typename Visit> std::pair<std::size_t, bool> walk(std::size_t at, const Visit& visit)
        {
            while (at + m_headerSize <= m_end) {
                const std::string header(m_read(at, m_headerSize));
                if (header.size() < m_headerSize || header[0] == '\0')
                    return { at, header.size() == m_headerSize }; // padding, or the file's end
                if (!isFrameId(std::string_view(header).substr(0, idLength(m_version)), idLength(m_version)))
                    return { at, false };
                const std::size_t size = frameSize(at, header);
                if (size > m_end - at - m_headerSize)
                    return { at, false }; // runs past the tag's end
                if (!visit(std::string_view(header), at, size))
                    return { at, false };
                at += m_headerSize + size;
            }
            return { at, true };
        }

        std::optional<std::string> wanted(std::size_t at)
        {
            std::string kept;
            bool followable = true;
            walk(at, [&](std::string_view header, std::size_t frame, std::size_t size) {
                if (size == 0 || !isWanted(header.substr(0, 4)))
                    return true; // an empty frame: the frames go on after it
                if (compressedOrEncrypted(header)) {
                    followable = false;
                    return false;
                }
                const std::string_view body = m_read(frame + kHeaderSize, size);
                if (body.size() < size)
                    return false;
                kept += header.substr(0, 4);
                kept += m_version == 4 ? syncsafeBytes(size) : std::string(header.substr(4, 4));
                kept += header.substr(8, 2);
                kept += body;
                return true;
            });
            if (!followable)
                return std::nullopt;
            return kept;
        }

    private:
        static bool isWanted(std::string_view id)
        {
            for (const std::string_view wanted : kWanted) {
                if (id == wanted)
                    return true;
            }
            return false;
        }

        std::uint8_t m_version;
        std::size_t m_headerSize;
        std::size_t m_end;
        const ReadBytes& m_read;
    };

} // namespace

namespace {

    // Version, where the frames begin and end: nullopt for a tag the walk
    // cannot follow (not 2.2, 2.3 or 2.4, unsynchronised or, in 2.2,
    // compressed as a whole, or an extended header longer than the tag).
    struct TagFrame {
        std::uint8_t version = 0;
        std::uint8_t flags = 0;
        std::size_t start = kHeaderSize;
        std::size_t end = 0;
    };
    std::optional<TagFrame> frameArea(std::string_view header, std::size_t tagSize, const ReadBytes& read)
    {
        if (header.size() < kHeaderSize)
            return std::nullopt;
        TagFrame area { byteAt(header, 3), byteAt(header, 5) };
        if (area.version < 2 || area.version > 4 || (area.flags & 0x80) != 0)
            return std::nullopt;
        // The frames end where the header's size says (a footer lies beyond),
        // or at the file's end.
        area.end = std::min<std::size_t>(tagSize, kHeaderSize + syncsafeNumber(header.substr(6, 4)));
        if (area.flags & 0x40) { // 2.2: compression; 2.3 and 2.4: an extended header
            const std::string_view size = read(kHeaderSize, 4);
            if (area.version == 2 || size.size() < 4)
                return std::nullopt;
            // 2.3 counts the extended header's size without its size bytes.
            area.start += area.version == 3 ? std::size_t(4) + plainNumber(size) : syncsafeNumber(size);
            if (area.start > area.end)
                return std::nullopt;
        }
        return area;
    }

} // namespace

std::optional<std::string> wantedFrames(std::string_view header, std::size_t tagSize, const ReadBytes& read)
{
    const auto area = frameArea(header, tagSize, read);
    if (!area || area->version == 2)
        return std::nullopt;
    Walker walker(area->version, area->end, read);
    const auto frames = walker.wanted(area->start);
    if (!frames)
        return std::nullopt;
    std::string tag(header.substr(0, 5));
    tag += static_cast<char>(area->flags & ~0x50); // no extended header, no footer
    tag += syncsafeBytes(frames->size());
    return tag + *frames;
}

std::optional<FrameLayout> frameLayout(std::string_view tag)
{
    const ReadBytes read = [&](std::size_t offset, std::size_t count) {
        return offset >= tag.size() ? std::string_view() : tag.substr(offset, count);
    };
    const auto area = frameArea(tag, tag.size(), read);
    if (!area)
        return std::nullopt;
    FrameLayout layout { area->version, area->start, {}, 0, false };
    Walker walker(area->version, area->end, read);
    const auto [end, clean] = walker.walk(area->start, [&](std::string_view header, std::size_t at, std::size_t size) {
        const std::uint8_t formatFlags = area->version == 2 ? 0 : byteAt(header, 9);
        layout.frames.push_back({ std::string(header.substr(0, idLength(area->version))), at,
            frameHeaderSize(area->version) + size, formatFlags });
        return true;
    });
    layout.end = end;
    // Clean: the frames end at the tag's end or where zeros fill the rest.
    layout.clean = clean && tag.substr(end, area->end - end).find_first_not_of('\0') == std::string_view::npos;
    return layout;
}

} // namespace zentrio
