// Any fields, separator and options: the composed name ends in ".mp3", never
// holds "/" or a NUL, never begins with "." and fits in 255 bytes; and the
// character passes never change the length of a name that was not cut.
#include "platform/fs/filenames.h"
#include "rename/naming/compose.h"
#include "tags/read/cp1252.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::uint8_t flags = data[0];
    const int number = 1 + data[1] * 13;
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    // fields and separator are cut from the rest at byte 0x01
    QStringList parts = zentrio::decodeCp1252(rest).split(QChar(1));
    while (parts.size() < 4)
        parts << QString();
    zentrio::TagFields tag { true, parts[0].left(30), parts[1].left(30), parts[2].left(30) };
    zentrio::NameOptions options;
    options.pattern = static_cast<zentrio::Pattern>(1 + (flags & 0x7) % 7);
    options.separator = parts[3].left(3);
    options.numbered = flags & 0x08;
    options.foldO = flags & 0x10;
    options.noAccent = flags & 0x20;
    options.noSpace = flags & 0x40;

    const QString name = zentrio::composeNewName(tag, options, number);
    if (!name.endsWith(".mp3") || name.contains('/') || name.contains(QChar(0)) || name.startsWith('.'))
        std::abort();
    const std::size_t bytes = zentrio::textToName(name).size();
    if (bytes > zentrio::kMaxNameBytes)
        std::abort();
    // The same name without the passes has the same length, unless one of
    // them was cut to fit (a pass can change a letter's size in bytes).
    zentrio::NameOptions plain = options;
    plain.foldO = plain.noAccent = plain.noSpace = false;
    const QString unpassed = zentrio::composeNewName(tag, plain, number);
    const bool cut = bytes >= zentrio::kMaxNameBytes - 3 || zentrio::textToName(unpassed).size() >= zentrio::kMaxNameBytes - 3;
    if (!cut && unpassed.size() != name.size())
        std::abort();
    return 0;
}
