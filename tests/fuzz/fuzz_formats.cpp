// Any bytes as a FLAC, Ogg, Opus, MP4, WAV, AIFF, WavPack or APE file (the
// first byte picks the format): reading its fields never crashes, never
// hangs and never holds more than the file's bytes, and gives no field
// with a NUL. As a FLAC file's metadata, a comment written into it leaves
// metadata that reads back whole; as a WAV or AIFF file, a tag written into
// its ID3 chunk leaves chunks that add up, the tag where it was.
#include "tags/read/formattags.h"
#include "tags/write/endregion.h"
#include "tags/write/flacmetadata.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    using zentrio::AudioFormat;
    constexpr AudioFormat kFormats[] = { AudioFormat::Flac, AudioFormat::Ogg, AudioFormat::Opus, AudioFormat::Mp4,
        AudioFormat::Wav, AudioFormat::Aiff, AudioFormat::WavPack, AudioFormat::Ape };
    const AudioFormat format = kFormats[data[0] % std::size(kFormats)];
    static const std::string path = "/tmp/zentrio-fuzz-formats-" + std::to_string(::getpid());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    if (const auto read = zentrio::readFormatTag(path, format)) {
        const zentrio::TagFields& tag = read->tag;
        for (const QString* field : { &tag.song, &tag.artist, &tag.album, &tag.albumArtist, &tag.track, &tag.year }) {
            if (field->contains(QChar(0)))
                std::abort();
        }
    }
    if (format == AudioFormat::Wav || format == AudioFormat::Aiff) {
        const std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
        const auto readIn = [](const std::string& bytes) {
            return [&bytes](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
                if (offset < 0 || std::size_t(offset) + count > bytes.size())
                    return std::nullopt;
                return bytes.substr(std::size_t(offset), count);
            };
        };
        const auto ends = zentrio::endRegionFormat(format);
        const auto place = ends->place(readIn(file), static_cast<std::int64_t>(file.size()));
        const zentrio::TagValues values { { zentrio::TagField::Song, QStringLiteral("Ä") },
            { zentrio::TagField::Track, QStringLiteral("5") }, { zentrio::TagField::Year, QString() } };
        const auto region = place ? ends->withValues(std::string_view(file).substr(std::size_t(place->offset)), values)
                                  : std::nullopt;
        if (region) {
            std::string written = file.substr(0, std::size_t(place->offset)) + *region;
            const auto size = zentrio::sizeFieldPatch(*ends, static_cast<std::int64_t>(written.size()));
            written.replace(std::size_t(size->offset), size->bytes.size(), size->bytes);
            const auto again = ends->place(readIn(written), static_cast<std::int64_t>(written.size()));
            if (!again || again->offset != place->offset)
                std::abort();
        }
    }
    if (format == AudioFormat::Flac) {
        const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
        const auto inFile = [&](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
            if (offset < 0 || std::size_t(offset) + count > file.size())
                return std::nullopt;
            return std::string(file.substr(std::size_t(offset), count));
        };
        const auto own = zentrio::flacMetadataOf(inFile, static_cast<std::int64_t>(file.size()));
        const std::string_view bytes = own ? file.substr(0, own->end) : file;
        const zentrio::TagValues values { { zentrio::TagField::Song, QStringLiteral("Ä") },
            { zentrio::TagField::Track, QStringLiteral("5") }, { zentrio::TagField::Year, QString() } };
        if (const auto region = zentrio::flacRegionWithValues(bytes, values)) {
            const auto read = [&](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
                if (offset < 0 || std::size_t(offset) + count > region->size())
                    return std::nullopt;
                return region->substr(std::size_t(offset), count);
            };
            const auto metadata = zentrio::flacMetadataOf(read, static_cast<std::int64_t>(region->size()));
            if (!metadata || metadata->end != region->size())
                std::abort();
        }
    }
    return 0;
}
