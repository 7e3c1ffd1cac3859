#include "tags/read/tagsource.h"

#include "platform/fs/fsops.h"
#include "tags/read/formattags.h"
#include "tags/read/framewalk.h"
#include "tags/read/id3v2.h"

#include <functional>

namespace zentrio {

namespace {

    // A file's bytes up to a limit, read in blocks: one read serves the tag
    // header and the frames that follow it, and a frame stepped over is
    // never read.
    class BlockReader {
    public:
        BlockReader(const fs::FileReader& file, std::size_t limit)
            : m_file(file)
            , m_limit(limit)
        {
        }
        void setLimit(std::size_t limit) { m_limit = limit; }

        std::string_view operator()(std::size_t offset, std::size_t count)
        {
            if (offset >= m_limit)
                return {};
            count = std::min(count, m_limit - offset);
            if (offset >= m_start && offset + count <= m_start + m_block.size())
                return std::string_view(m_block).substr(offset - m_start, count);
            auto bytes = m_file.readAt(static_cast<std::int64_t>(offset), std::min(std::max(count, kBlock), m_limit - offset));
            if (!bytes)
                return {};
            m_block = std::move(*bytes);
            m_start = offset;
            return std::string_view(m_block).substr(0, count);
        }

    private:
        static constexpr std::size_t kBlock = 1024;
        const fs::FileReader& m_file;
        std::size_t m_limit;
        std::string m_block;
        std::size_t m_start = 0;
    };

    // The ID3v2 fields at the open file's start, if it carries a usable tag:
    // from the frames a name can use, or from the whole tag where the frame
    // walk cannot follow it.
    std::optional<TagFields> id3v2FieldsAtStart(const fs::FileReader& file)
    {
        BlockReader read(file, static_cast<std::size_t>(file.length()));
        const std::string header(read(0, kId3v2HeaderSize));
        const std::size_t declared = id3v2TagSize(header);
        if (declared == 0)
            return std::nullopt;
        // A tag that claims more than the file holds is read as far as it goes.
        const std::size_t size = static_cast<std::size_t>(std::min<std::int64_t>(declared, file.length()));
        read.setLimit(size);
        if (const auto frames = wantedFrames(header, size, std::ref(read)))
            return id3v2FieldsOf(*frames);
        const auto tagBytes = file.readAt(0, size);
        if (!tagBytes)
            return std::nullopt;
        return id3v2FieldsOf(*tagBytes);
    }

    // The fields of the trailer window and the file's last byte, which holds an ID3v1 genre.
    TagFields trailerFields(std::string_view tail)
    {
        const std::string_view window = tail.substr(0, kWindowSize);
        TagFields fields = fieldsOf(window);
        if (fields.found)
            addRecordExtras(fields, tail, findMarker(window));
        return fields;
    }

    std::optional<TagFields> parsedRegionFields(std::string_view region)
    {
        const std::size_t size = std::min(id3v2TagSize(region), region.size());
        if (size == 0)
            return std::nullopt;
        const ReadBytes read = [&](std::size_t offset, std::size_t count) {
            return offset >= size ? std::string_view() : region.substr(offset, std::min(count, size - offset));
        };
        const auto frames = wantedFrames(region, size, read);
        return id3v2FieldsOf(frames ? std::string_view(*frames) : region.substr(0, size));
    }

    // The fields of the last region read on this thread: planning a write
    // asks for those of one region more than once (to carry values into
    // it, to tell what changes), and a parse costs more than comparing.
    struct LastRegion {
        static constexpr std::size_t kLargest = 64 * 1024; // larger regions are not kept
        std::string bytes;
        std::optional<TagFields> fields;
        bool valid = false;
    };

} // namespace

std::optional<TagFields> id3v2FieldsOfRegion(std::string_view region)
{
    thread_local LastRegion last;
    if (last.valid && region == last.bytes)
        return last.fields;
    auto fields = parsedRegionFields(region);
    last.valid = region.size() <= LastRegion::kLargest;
    if (last.valid) {
        last.bytes.assign(region);
        last.fields = fields;
    }
    return fields;
}

namespace {

    // The ID3v2 fields, unless they give no title, artist or album and the
    // file has an ID3v1 record, which is read then.
    TagFields preferred(std::optional<TagFields> tag, const std::function<TagFields()>& record)
    {
        if (tag && namesTheSong(*tag))
            return std::move(*tag);
        TagFields fields = record();
        return fields.found || !tag ? fields : std::move(*tag);
    }

} // namespace

TagFields tagFieldsOf(std::string_view region, std::string_view tail, TagSource source)
{
    const auto record = [&] { return trailerFields(tail); };
    if (source == TagSource::Id3v2First)
        return preferred(id3v2FieldsOfRegion(region), record);
    return record();
}

namespace {

    std::optional<IdentifiedTag> identifiedMp3Tag(const fs::FileReader& file, TagSource source)
    {
        if (!file.isOpen())
            return std::nullopt;
        const auto windowLength = static_cast<std::int64_t>(kWindowSize + 1);
        std::optional<TagFields> tag;
        if (source == TagSource::Id3v2First)
            tag = id3v2FieldsAtStart(file);
        if (file.length() < windowLength) {
            // Too short for the trailer window: only a whole ID3v2 tag is read.
            const std::string header = file.readAt(0, kId3v2HeaderSize).value_or(std::string());
            if (tag && id3v2TagSize(header) <= static_cast<std::size_t>(file.length()))
                return IdentifiedTag { std::move(*tag), file.identity() };
            return std::nullopt;
        }
        if (tag && namesTheSong(*tag))
            return IdentifiedTag { std::move(*tag), file.identity() };
        const auto tail = file.readAt(file.length() - windowLength, kWindowSize + 1);
        if (!tail || tail->size() < kWindowSize)
            return std::nullopt;
        return IdentifiedTag { preferred(std::move(tag), [&] { return trailerFields(*tail); }), file.identity() };
    }

} // namespace

std::optional<IdentifiedTag> readIdentifiedTag(const std::string& path, TagSource source)
{
    if (const auto format = audioFormatOf(path); format && *format != AudioFormat::Mp3)
        return readFormatTag(path, *format);
    return identifiedMp3Tag(fs::FileReader(path), source);
}

std::optional<IdentifiedTag> readIdentifiedTagIn(
    int folderFd, const std::string& name, const std::string& path, TagSource source)
{
    if (const auto format = audioFormatOf(name); format && *format != AudioFormat::Mp3)
        return readFormatTag(path, *format);
    return identifiedMp3Tag(fs::FileReader(folderFd, name), source);
}

std::optional<TagFields> readFileTag(const std::string& path, TagSource source)
{
    auto read = readIdentifiedTag(path, source);
    if (!read)
        return std::nullopt;
    return std::move(read->tag);
}

} // namespace zentrio
