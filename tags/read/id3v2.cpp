#include "tags/read/id3v2.h"

#include "tags/taglib/taglibmodule.h"

namespace zentrio {

std::size_t id3v2TagSize(std::string_view header)
{
    if (header.size() < kId3v2HeaderSize || header.substr(0, 3) != "ID3")
        return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(header[i]); };
    if (byte(3) == 0xFF || byte(4) == 0xFF)
        return 0;
    std::size_t size = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        if (byte(i) & 0x80)
            return 0; // a size byte is seven bits: this is no ID3v2 header
        size = (size << 7) | byte(i);
    }
    const bool footer = byte(5) & 0x10;
    return kId3v2HeaderSize + size + (footer ? kId3v2HeaderSize : 0);
}

std::size_t id3v2RegionSize(std::string_view file)
{
    std::size_t region = 0;
    while (region < file.size()) {
        const std::size_t next = id3v2TagSize(file.substr(region, kId3v2HeaderSize));
        if (next == 0)
            break;
        region += next;
    }
    return region;
}

bool namesTheSong(const TagFields& fields)
{
    return !fields.song.isEmpty() || !fields.artist.isEmpty() || !fields.album.isEmpty();
}

// A tag is decoded by TagLib; bytes with no tag header never load it.
QString id3v2FirstText(std::string_view tagBytes, const char* id)
{
    if (id3v2TagSize(tagBytes) == 0)
        return {};
    return taglib().id3v2FirstText(tagBytes, id);
}

QStringList id3v2FirstValues(std::string_view tagBytes, const char* id)
{
    if (id3v2TagSize(tagBytes) == 0)
        return {};
    return taglib().id3v2FirstValues(tagBytes, id);
}

std::optional<TagFields> id3v2FieldsOf(std::string_view tagBytes)
{
    if (id3v2TagSize(tagBytes) == 0)
        return std::nullopt;
    return taglib().id3v2FieldsOf(tagBytes);
}

} // namespace zentrio
