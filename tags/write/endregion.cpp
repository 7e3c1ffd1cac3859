#include "tags/write/endregion.h"

#include "tags/write/mp4region.h"
#include "tags/write/riffchunks.h"

namespace zentrio {

std::optional<EndRegionFormat> endRegionFormat(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Wav:
        return EndRegionFormat { wavRegionPlace, riffRegionWithValues, EndRegionFormat::SizeField::Little };
    case AudioFormat::Aiff:
        return EndRegionFormat { aiffRegionPlace, aiffRegionWithValues, EndRegionFormat::SizeField::Big };
    case AudioFormat::Mp4:
        return EndRegionFormat { mp4EndRegionPlace, mp4EndRegionWithValues, EndRegionFormat::SizeField::None };
    default:
        return std::nullopt;
    }
}

AudioFormats endRegionFormats()
{
    AudioFormats formats;
    for (int i = 0; i <= static_cast<int>(AudioFormat::Ape); ++i) {
        const auto format = static_cast<AudioFormat>(i);
        if (endRegionFormat(format))
            formats.add(format);
    }
    return formats;
}

bool lengthFits(const EndRegionFormat& format, std::int64_t length)
{
    return format.sizeField == EndRegionFormat::SizeField::None || (length >= 8 && length - 8 <= 0xFFFFFFFFll);
}

std::optional<fs::Patch> sizeFieldPatch(const EndRegionFormat& format, std::int64_t length)
{
    if (format.sizeField == EndRegionFormat::SizeField::None)
        return std::nullopt;
    const auto size = static_cast<std::uint32_t>(length - 8);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        const int shift = format.sizeField == EndRegionFormat::SizeField::Little ? 8 * i : 8 * (3 - i);
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((size >> shift) & 0xFF);
    }
    return fs::Patch { 4, std::move(bytes) };
}

} // namespace zentrio
