#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Which files count as audio files, in which format, and the ending a new
// name of one must keep. The walk that plans a run and the check of a kept
// plan both ask here, so a plan can hold no audio file the walk would not
// have named.
namespace zentrio {

// The formats by their containers: Ogg covers Vorbis and FLAC in Ogg, MP4
// covers AAC and ALAC.
enum class AudioFormat : std::uint8_t { Mp3, Flac, Ogg, Opus, Mp4, Wav, Aiff, WavPack, Ape };

// A set of formats: the ones a command takes.
class AudioFormats {
public:
    static AudioFormats all() { return AudioFormats(0x1FF); }
    static AudioFormats only(AudioFormat format) { return AudioFormats(bit(format)); }
    AudioFormats() = default;
    bool contains(AudioFormat format) const { return (m_bits & bit(format)) != 0; }
    void add(AudioFormat format) { m_bits |= bit(format); }
    bool empty() const { return m_bits == 0; }
    AudioFormats within(AudioFormats other) const { return AudioFormats(std::uint16_t(m_bits & other.m_bits)); }
    bool operator==(const AudioFormats&) const = default;

private:
    explicit AudioFormats(std::uint16_t bits)
        : m_bits(bits)
    {
    }
    static std::uint16_t bit(AudioFormat format) { return std::uint16_t(1u << unsigned(format)); }
    std::uint16_t m_bits = 0;
};

// The format of a file by its name's extension, in any letter case (".mp3",
// ".flac", ".ogg" or ".oga", ".opus", ".m4a", ".m4b" or ".mp4", ".wav",
// ".aif" or ".aiff", ".wv", ".ape"); nullopt for any other name.
std::optional<AudioFormat> audioFormatOf(std::string_view name);

// The format's name as the command line shows it: "mp3", "flac", "ogg",
// "opus", "m4a", "wav", "aiff", "wv", "ape".
const char* formatName(AudioFormat format);

// The formats a list such as "mp3,flac" names, each by any of its
// extensions (without the dot, any case); nullopt names the first item
// that is none in `unknown`.
std::optional<AudioFormats> parseFormatList(std::string_view list, std::string& unknown);

// True for an audio file's name: one of the formats above.
bool isAudioFileName(std::string_view name);

// The same, for the formats of `formats` only.
bool isAudioFileName(std::string_view name, AudioFormats formats);

// The ending (lower-cased, with its dot) every new name of this audio file
// ends in: its own, ".mp3" or ".flac". Empty for a name that is no audio
// file's.
std::string ownAudioExtension(std::string_view name);

// True when `newName` is a name the rename can give the audio file `name`:
// it ends in the file's own extension (in any letter case) and has more
// before it.
bool keepsOwnExtension(std::string_view name, std::string_view newName);

} // namespace zentrio
