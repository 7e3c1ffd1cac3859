#include "tags/read/audiofile.h"

#include <array>
#include <utility>

namespace zentrio {

namespace {

    // The first extension of each format names it.
    constexpr std::array<std::pair<std::string_view, AudioFormat>, 13> kExtensions { {
        { "mp3", AudioFormat::Mp3 },
        { "flac", AudioFormat::Flac },
        { "ogg", AudioFormat::Ogg },
        { "oga", AudioFormat::Ogg },
        { "opus", AudioFormat::Opus },
        { "m4a", AudioFormat::Mp4 },
        { "m4b", AudioFormat::Mp4 },
        { "mp4", AudioFormat::Mp4 },
        { "wav", AudioFormat::Wav },
        { "aiff", AudioFormat::Aiff },
        { "aif", AudioFormat::Aiff },
        { "wv", AudioFormat::WavPack },
        { "ape", AudioFormat::Ape },
    } };

    std::string lowered(std::string_view text)
    {
        std::string lower(text);
        for (char& c : lower)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return lower;
    }

    std::optional<AudioFormat> formatOfExtension(std::string_view extension)
    {
        const std::string lower = lowered(extension);
        for (const auto& [known, format] : kExtensions) {
            if (known == lower)
                return format;
        }
        return std::nullopt;
    }

    // The extension of a name, without its dot; empty without a dot.
    std::string_view extensionOf(std::string_view name)
    {
        const std::size_t dot = name.rfind('.');
        return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    }

} // namespace

std::optional<AudioFormat> audioFormatOf(std::string_view name)
{
    const std::string_view extension = extensionOf(name);
    return extension.empty() ? std::nullopt : formatOfExtension(extension);
}

const char* formatName(AudioFormat format)
{
    // A format's name is its first extension in the table.
    for (const auto& [extension, known] : kExtensions) {
        if (known == format)
            return extension.data();
    }
    return "";
}

std::optional<AudioFormats> parseFormatList(std::string_view list, std::string& unknown)
{
    AudioFormats formats;
    while (true) {
        const std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        if (item.starts_with('.'))
            item.remove_prefix(1);
        const auto format = formatOfExtension(item);
        if (!format) {
            unknown = std::string(item);
            return std::nullopt;
        }
        formats.add(*format);
        if (comma == std::string_view::npos)
            return formats;
        list.remove_prefix(comma + 1);
    }
}

bool isAudioFileName(std::string_view name) { return audioFormatOf(name).has_value(); }

bool isAudioFileName(std::string_view name, AudioFormats formats)
{
    const auto format = audioFormatOf(name);
    return format && formats.contains(*format);
}

std::string ownAudioExtension(std::string_view name)
{
    return isAudioFileName(name) ? '.' + lowered(extensionOf(name)) : std::string();
}

bool keepsOwnExtension(std::string_view name, std::string_view newName)
{
    const std::string extension = ownAudioExtension(name);
    return !extension.empty() && newName.size() > extension.size()
        && lowered(newName.substr(newName.size() - extension.size())) == extension;
}

} // namespace zentrio
