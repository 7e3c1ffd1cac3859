// Any bytes as the start of a file: reading its ID3v2 tag never crashes and
// gives no field with a NUL; rewriting the tag in memory never changes a byte
// that follows the old tag; editing it frame by frame keeps every frame not
// named and tells the old tag back exactly from the new one.
#include "tags/write/frameedit.h"
#include "tags/read/framewalk.h"
#include "tags/read/id3v2.h"
#include "tags/write/id3v2save.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    const auto checkFields = [](const std::optional<zentrio::TagFields>& fields) {
        if (!fields)
            return;
        for (const QString* field : { &fields->song, &fields->artist, &fields->album }) {
            if (field->contains(QChar(0)))
                std::abort();
        }
    };
    checkFields(zentrio::id3v2FieldsOf(file));
    // The frame walk over the same bytes, as the scan reads a file.
    const std::size_t tagSize = std::min(zentrio::id3v2TagSize(file), file.size());
    const auto read = [&](std::size_t offset, std::size_t count) {
        return offset >= tagSize ? std::string_view() : std::string_view(file).substr(offset, std::min(count, tagSize - offset));
    };
    if (tagSize > 0) {
        if (const auto frames = zentrio::wantedFrames(file, tagSize, read))
            checkFields(zentrio::id3v2FieldsOf(*frames));
    }
    if (tagSize > 0) {
        const std::string tag = file.substr(0, tagSize);
        const std::vector<zentrio::FrameValue> values { { "TIT2", QStringLiteral("Ä / B") }, { "TALB", QString() },
            { "TRCK", QStringLiteral("5"), {}, true }, { "TYER", QStringLiteral("1999"), { "TDRC" } } };
        if (const auto edited = zentrio::editFrames(tag, values)) {
            const auto old = zentrio::oldBytesOf(edited->old, edited->tag);
            if (!old || *old != tag)
                std::abort();
        }
    }
    const auto saved = zentrio::withId3v2Fields(file, { QStringLiteral("Song"), QStringLiteral("Ä / B"), QString() });
    if (!saved)
        return 0;
    const std::string after = file.substr(zentrio::id3v2RegionSize(file));
    if (saved->size() < after.size() || saved->compare(saved->size() - after.size(), after.size(), after) != 0)
        std::abort();
    // The old tag told against TagLib's new one comes back exactly.
    const std::string oldTag = file.substr(0, file.size() - after.size());
    const std::string newTag = saved->substr(0, saved->size() - after.size());
    if (zentrio::oldBytesOf(zentrio::oldAgainstNew(oldTag, newTag), newTag) != oldTag)
        std::abort();
    return 0;
}
