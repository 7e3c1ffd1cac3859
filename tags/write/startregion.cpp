#include "tags/write/startregion.h"

#include "tags/read/flacblocks.h"
#include "tags/write/flacmetadata.h"
#include "tags/write/oggmetadata.h"
#include "tags/write/mp4region.h"

namespace zentrio {

namespace {

    std::optional<std::size_t> flacRegionEnd(const RegionReadAt& read, std::int64_t length)
    {
        const auto metadata = flacMetadataOf(read, length);
        if (!metadata || metadata->end > kMaxStartRegion)
            return std::nullopt;
        return metadata->end;
    }

} // namespace

std::optional<StartRegionFormat> startRegionFormat(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Flac:
        return StartRegionFormat { flacRegionEnd, flacRegionWithValues, true };
    case AudioFormat::Ogg:
    case AudioFormat::Opus:
        return StartRegionFormat { oggRegionEnd, oggRegionWithValues, false };
    case AudioFormat::Mp4:
        return StartRegionFormat { mp4RegionEnd, mp4RegionWithValues, false };
    default:
        return std::nullopt;
    }
}

AudioFormats startRegionFormats()
{
    AudioFormats formats;
    for (int i = 0; i <= static_cast<int>(AudioFormat::Ape); ++i) {
        const auto format = static_cast<AudioFormat>(i);
        if (startRegionFormat(format))
            formats.add(format);
    }
    return formats;
}

} // namespace zentrio
