#include "cli/fromname.h"

#include "platform/fs/filenames.h"
#include "rename/naming/pathmatch.h"
#include "rename/naming/patternerror.h"

namespace zentrio::cli {

std::optional<ValuesOf> valuesFromNames(const std::string& text, bool underscoreIsBlank)
{
    const PathPattern pattern = parsePathPattern(nameToText(text));
    if (!pattern.ok()) {
        complain(pattern.error ? patternErrorText(*pattern.error).toStdString() : "the pattern is empty");
        return std::nullopt;
    }
    return ValuesOf([pattern, underscoreIsBlank](const std::string& below) {
        return valuesFromPath(pattern, below, underscoreIsBlank);
    });
}

} // namespace zentrio::cli
