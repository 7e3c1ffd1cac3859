#include "tags/tagsource.h"

#include "platform/fsops.h"
#include "tags/id3v2.h"

namespace zentrio {

namespace {

    // The ID3v2 fields at the open file's start, if it carries a usable tag.
    std::optional<TagFields> id3v2FieldsAtStart(const fs::FileReader& file)
    {
        const auto header = file.readAt(0, kId3v2HeaderSize);
        if (!header)
            return std::nullopt;
        const std::size_t declared = id3v2TagSize(*header);
        if (declared == 0)
            return std::nullopt;
        // A tag that claims more than the file holds is read as far as it goes.
        const std::size_t size = static_cast<std::size_t>(std::min<std::int64_t>(declared, file.length()));
        const auto tagBytes = file.readAt(0, size);
        if (!tagBytes)
            return std::nullopt;
        return id3v2FieldsOf(*tagBytes);
    }

} // namespace

std::optional<IdentifiedTag> readIdentifiedTag(const std::string& path, TagSource source)
{
    const fs::FileReader file(path);
    const auto windowLength = static_cast<std::int64_t>(kWindowSize + 1);
    if (!file.isOpen() || file.length() < windowLength)
        return std::nullopt;
    if (source == TagSource::Id3v2First) {
        if (auto fields = id3v2FieldsAtStart(file))
            return IdentifiedTag { std::move(*fields), file.identity() };
    }
    // The window and the file's last byte, which holds an ID3v1 genre.
    const auto tail = file.readAt(file.length() - windowLength, kWindowSize + 1);
    if (!tail || tail->size() < kWindowSize)
        return std::nullopt;
    const std::string_view window = std::string_view(*tail).substr(0, kWindowSize);
    TagFields fields = fieldsOf(window);
    if (fields.found)
        addRecordExtras(fields, *tail, findMarker(window));
    return IdentifiedTag { std::move(fields), file.identity() };
}

std::optional<TagFields> readFileTag(const std::string& path, TagSource source)
{
    auto read = readIdentifiedTag(path, source);
    if (!read)
        return std::nullopt;
    return std::move(read->tag);
}

} // namespace zentrio
