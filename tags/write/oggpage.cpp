#include "tags/write/oggpage.h"

#include <array>
#include <string_view>

namespace zentrio {

namespace {

    constexpr std::size_t kCrcAt = 22;

    // Ogg's CRC-32: polynomial 0x04C11DB7, most significant bit first, no
    // initial or final inversion.
    std::uint32_t oggCrc(std::string_view bytes)
    {
        static const auto table = [] {
            std::array<std::uint32_t, 256> t {};
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t r = i << 24;
                for (int k = 0; k < 8; ++k)
                    r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
                t[i] = r;
            }
            return t;
        }();
        std::uint32_t crc = 0;
        for (const char c : bytes)
            crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(c)) & 0xFF];
        return crc;
    }

    std::uint64_t le(std::string_view bytes, std::size_t at, int size)
    {
        std::uint64_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
        return value;
    }

    void putLe(std::string& out, std::uint64_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }

    std::optional<std::string> readSome(const OggReadAt& read, std::int64_t offset, std::size_t count)
    {
        return count == 0 ? std::optional(std::string()) : read(offset, count);
    }

} // namespace

std::optional<OggPage> readOggPage(const OggReadAt& read, std::int64_t offset)
{
    const auto header = read(offset, kOggPageHeader);
    if (!header || !header->starts_with("OggS") || (*header)[4] != 0)
        return std::nullopt;
    OggPage page;
    page.flags = static_cast<std::uint8_t>((*header)[5]);
    page.granule = le(*header, 6, 8);
    page.serial = static_cast<std::uint32_t>(le(*header, 14, 4));
    page.sequence = static_cast<std::uint32_t>(le(*header, 18, 4));
    auto lacing = readSome(read, offset + std::int64_t(kOggPageHeader), static_cast<unsigned char>((*header)[26]));
    if (!lacing)
        return std::nullopt;
    page.lacing = std::move(*lacing);
    std::size_t bodySize = 0;
    for (const char segment : page.lacing)
        bodySize += static_cast<unsigned char>(segment);
    auto body = readSome(read, offset + std::int64_t(kOggPageHeader + page.lacing.size()), bodySize);
    if (!body)
        return std::nullopt;
    page.body = std::move(*body);
    if (renderedOggPage(page).substr(kCrcAt, 4) != header->substr(kCrcAt, 4))
        return std::nullopt;
    return page;
}

std::string renderedOggPage(const OggPage& page)
{
    std::string out("OggS");
    out.push_back('\0');
    out.push_back(static_cast<char>(page.flags));
    putLe(out, page.granule, 8);
    putLe(out, page.serial, 4);
    putLe(out, page.sequence, 4);
    putLe(out, 0, 4); // the CRC, counted with zeros in its place
    out.push_back(static_cast<char>(page.lacing.size()));
    out += page.lacing;
    out += page.body;
    const std::uint32_t crc = oggCrc(out);
    for (int i = 0; i < 4; ++i)
        out[kCrcAt + std::size_t(i)] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return out;
}

} // namespace zentrio
