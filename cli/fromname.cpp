#include "cli/fromname.h"

#include "cli/setvalues.h"

#include "platform/fs/filenames.h"
#include "rename/naming/pathmatch.h"
#include "rename/naming/patternerror.h"

#include <algorithm>

namespace zentrio::cli {

std::optional<ValuesOf> valuesFromNames(const std::string& text, bool underscoreIsBlank)
{
    const PathPattern pattern = parsePathPattern(nameToText(text));
    if (!pattern.ok()) {
        complain(pattern.error ? patternErrorText(*pattern.error).toStdString() : "the pattern is empty");
        return std::nullopt;
    }
    return ValuesOf([pattern, underscoreIsBlank](const std::string& below) -> std::optional<TagValues> {
        auto values = valuesFromPath(pattern, below, underscoreIsBlank);
        // A part tag set would refuse ("99999" for a track, "007" for a
        // year) means the name does not fit: it is never written.
        const auto refused = [](const auto& value) {
            return !value.second.isEmpty() && !valueFault(value.first, value.second).isEmpty();
        };
        if (values && std::any_of(values->begin(), values->end(), refused))
            return std::nullopt;
        return values;
    });
}

} // namespace zentrio::cli
