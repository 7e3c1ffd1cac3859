// Any own pattern with any fields: the parser never crashes and names a
// place inside the pattern for a fault; a name from a readable pattern is
// empty or ends in ".mp3", never holds "/" or a NUL, never begins with "."
// and fits in 255 bytes. The same pattern is also read for matching and
// matched against the song field as a file name.
#include "platform/fs/filenames.h"
#include "rename/naming/compose.h"
#include "rename/naming/pattern.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

// Matching ends for any pattern and name (in time bounded by their lengths)
// and names a place inside the pattern for a fault.
void checkMatch(const QString& pattern, const QString& name, bool underscoreIsBlank)
{
    const auto parsed = zentrio::parsePattern(pattern, zentrio::PatternUse::Matching);
    if (parsed.error && (parsed.error->position < 0 || parsed.error->position >= pattern.size()))
        std::abort();
    zentrio::matchPattern(parsed.parts, name, underscoreIsBlank);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t flags = data[0];
    // the pattern, then the fields, cut from the rest at byte 0x01
    const QString rest = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QStringList parts = rest.split(QChar(1));
    while (parts.size() < 11)
        parts << QString();
    const auto parsed = std::make_shared<const zentrio::ParsedPattern>(zentrio::parsePattern(parts[0]));
    if (parsed->error && (parsed->error->position < 0 || parsed->error->position >= parts[0].size()))
        std::abort();
    checkMatch(parts[0], parts[1], flags & 0x80);
    zentrio::TagFields tag { true, parts[1], parts[2], parts[3], parts[4], parts[5], parts[6], parts[7], parts[8],
        parts[9], parts[10] };
    zentrio::NameOptions options;
    options.pattern = zentrio::Pattern::Own;
    options.own = parsed;
    options.separator = parts[10].left(3);
    options.foldO = flags & 0x10;
    options.noAccent = flags & 0x20;
    options.noSpace = flags & 0x40;
    options = zentrio::withRunWidths(options, { &tag });
    const QString name = zentrio::composeNewName(tag, options, 1 + (flags & 0x0F) * 97);
    if (name.isEmpty())
        return 0;
    if (!name.endsWith(".mp3") || name.contains('/') || name.contains(QChar(0)) || name.startsWith('.'))
        std::abort();
    if (zentrio::textToName(name).size() > zentrio::kMaxNameBytes)
        std::abort();
    return 0;
}
