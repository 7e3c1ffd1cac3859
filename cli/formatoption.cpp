#include "cli/formatoption.h"

#include "cli/output.h"
#include "tags/write/tagwrite.h"

namespace zentrio::cli {

void addFormatOption(CLI::App& command, std::string& formats)
{
    command.add_option("--ext", formats,
        "only the audio files of these formats, by extension, comma-separated: mp3, flac, ogg (Vorbis and FLAC in "
        "Ogg), opus, m4a (or m4b, mp4), wav, aiff (or aif), wv, ape (default: all of them; with --id3v1, mp3)");
}

std::optional<AudioFormats> chosenFormats(const std::string& formats, bool id3v1)
{
    const AudioFormats mp3 = AudioFormats::only(AudioFormat::Mp3);
    if (formats.empty())
        return id3v1 ? mp3 : AudioFormats::all();
    std::string list;
    for (const char c : formats) {
        if (c != ' ')
            list.push_back(c); // "flac, mp3" as "flac,mp3"
    }
    std::string unknown;
    const auto chosen = parseFormatList(list, unknown);
    if (!chosen) {
        complain("--ext: \"" + unknown + "\" is no audio format this program reads");
        return std::nullopt;
    }
    if (id3v1 && *chosen != mp3) {
        complain("--id3v1 reads MP3 files only: leave out --ext, or give --ext mp3");
        return std::nullopt;
    }
    return chosen;
}

std::string writableFormatList()
{
    std::string names;
    for (int i = 0; i <= static_cast<int>(AudioFormat::Ape); ++i) {
        const auto format = static_cast<AudioFormat>(i);
        if (writableFormats().contains(format))
            names += (names.empty() ? "" : ", ") + std::string(formatName(format));
    }
    return names;
}

} // namespace zentrio::cli
