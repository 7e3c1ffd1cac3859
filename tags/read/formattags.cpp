#include "tags/read/formattags.h"

#include "tags/taglib/taglibmodule.h"

namespace zentrio {

std::optional<IdentifiedTag> readFormatTag(const std::string& path, AudioFormat format)
{
    if (format == AudioFormat::Mp3)
        return std::nullopt; // read by the ID3 readers
    return taglib().readFormatTag(path, format);
}

std::optional<TagFields> formatFieldsOf(std::string_view bytes, AudioFormat format)
{
    if (format == AudioFormat::Mp3)
        return std::nullopt;
    return taglib().formatFieldsOf(bytes, format);
}

} // namespace zentrio
