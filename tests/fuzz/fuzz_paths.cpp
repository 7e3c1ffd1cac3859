// Any own pattern and fields as a path: every component is a name the file
// system takes (no "/", no NUL, not "." or "..", never hidden, at most 255
// bytes), the last ends in ".mp3", and the rules of a Windows volume leave
// none of < > : " | ? * and no trailing dot or blank.
#include "platform/fs/filenames.h"
#include "rename/naming/pathnaming.h"
#include "rename/moves/targetfs.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool fitsAnyDisk(const QString& component)
{
    const std::string bytes = zentrio::textToName(component);
    return !component.isEmpty() && !component.contains(u'/') && !component.contains(QChar(0))
        && !component.startsWith(u'.') && bytes.size() <= zentrio::kMaxNameBytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zentrio;
    if (size < 2)
        return 0;
    const std::uint8_t flags = data[0];
    // pattern and fields are cut from the rest at byte 0x01
    const QStringList parts
        = nameToText(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1)).split(QChar(1));
    NameOptions options;
    options.pattern = Pattern::Own;
    options.own = std::make_shared<const ParsedPattern>(parsePattern(parts.value(0)));
    if (!options.own->ok())
        return 0;
    options.noAccent = options.foldO = flags & 1;
    options.noSpace = flags & 2;
    options.separator = parts.value(1).left(3);
    const TagFields tag { true, parts.value(2), parts.value(3), parts.value(4), parts.value(5), parts.value(6),
        parts.value(7), parts.value(8), parts.value(9), parts.value(10), parts.value(11) };
    missingFields(options.own->parts, tag);
    const std::vector<QString> components = composeNewPath(tag, withRunWidths(options, { &tag }), 1 + flags);
    for (std::size_t i = 0; i < components.size(); ++i) {
        const QString& component = components[i];
        if (!fitsAnyDisk(component) || (i + 1 == components.size() && !component.endsWith(".mp3")))
            std::abort();
        const QString windows = fitComponent(component, FsNames::Windows);
        if (!fitsAnyDisk(windows) || windows.endsWith(u'.') || windows.endsWith(u' ')
            || windows.contains(QRegularExpression(QStringLiteral("[<>:\"|?*]"))))
            std::abort();
    }
    return 0;
}
