#pragma once

#include "rename/naming/pattern.h"
#include "tags/write/tagvalues.h"

#include <optional>
#include <string_view>
#include <vector>

// Tags from where a file lies: a matching pattern whose text holds "/" is
// matched part by part against the end of the file's path, the last part
// against the file's name without ".mp3" and each part before it against
// a folder above it: "{albumartist}/{album}/{track} - {song}".
namespace zentrio {

struct PathPattern {
    std::vector<std::vector<PatternPart>> components; // the folders' first, the file name's last
    std::optional<PatternError> error; // its position counts in the whole pattern
    bool ok() const { return !error && !components.empty(); }
};

// Splits the text at each "/" that is neither escaped nor inside braces,
// and reads each part as a matching pattern. A "/" at either end is left
// out; nothing between two "/" is a fault.
PathPattern parsePathPattern(const QString& text);

// The values the path gives (raw bytes; names that are not valid UTF-8 read
// by code page 1252), or nullopt when it has fewer folders than the pattern
// asks for or a part does not match. A field given twice takes the value
// nearest the file.
std::optional<TagValues> valuesFromPath(const PathPattern& pattern, std::string_view path, bool underscoreIsBlank = false);

// The tag field a matched pattern field fills; none for {n}, {tracks},
// {discs} and {ignore}.
std::optional<TagField> tagFieldOf(PatternField field);

} // namespace zentrio
