// Any bytes as the start of a file: reading its ID3v2 tag never crashes and
// gives no field with a NUL; rewriting the tag in memory never changes a byte
// that follows the old tag.
#include "tags/id3v2.h"
#include "tags/id3v2save.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    if (const auto fields = zentrio::id3v2FieldsOf(file)) {
        for (const QString* field : { &fields->song, &fields->artist, &fields->album }) {
            if (field->contains(QChar(0)))
                std::abort();
        }
    }
    const auto saved = zentrio::withId3v2Fields(file, { QStringLiteral("Song"), QStringLiteral("Ä / B"), QString() });
    if (!saved)
        return 0;
    const std::string after = file.substr(zentrio::id3v2RegionSize(file));
    if (saved->size() < after.size() || saved->compare(saved->size() - after.size(), after.size(), after) != 0)
        std::abort();
    return 0;
}
