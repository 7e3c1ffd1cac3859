#include "tags/read/audiofile.h"

#include "platform/fs/filenames.h"

namespace zentrio {

namespace {

std::string lowered(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

} // namespace

bool isAudioFileName(std::string_view name)
{
    return hasMp3Suffix(name);
}

std::string ownAudioExtension(std::string_view name)
{
    return isAudioFileName(name) ? lowered(name.substr(name.size() - 4)) : std::string();
}

bool keepsOwnExtension(std::string_view name, std::string_view newName)
{
    const std::string extension = ownAudioExtension(name);
    return !extension.empty() && newName.size() > extension.size()
        && lowered(newName.substr(newName.size() - extension.size())) == extension;
}

} // namespace zentrio
