// Any 0 to 600 bytes as a file's content: the trailer rule never crashes,
// the marker is 0 or a position where a match can start, and no field holds
// a NUL or more than 30 characters.
#include "tags/read/trailer.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 600)
        return 0;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    if (size <= 256)
        return 0; // such a file fails the read before the rule runs
    const std::string_view window = file.substr(size - 257, zentrio::kWindowSize);
    const int p = zentrio::findMarker(window);
    if (p < 0 || p > 254)
        std::abort();
    const zentrio::TagFields tag = zentrio::fieldsOf(window);
    if (tag.found != (p != 0))
        std::abort();
    for (const QString* field : { &tag.song, &tag.artist, &tag.album }) {
        if (field->size() > zentrio::kFieldWidth || field->contains(QChar(0)))
            std::abort();
    }
    return 0;
}
