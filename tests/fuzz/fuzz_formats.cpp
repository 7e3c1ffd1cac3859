// Any bytes as a FLAC, Ogg, Opus, MP4, WAV, AIFF, WavPack or APE file (the
// first byte picks the format): reading its fields never crashes, never
// hangs and never holds more than the file's bytes, and gives no field
// with a NUL.
#include "tags/read/formattags.h"

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
    return 0;
}
