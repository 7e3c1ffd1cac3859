#pragma once

#include "rename/naming/compose.h"

#include <QStringList>

#include <optional>
#include <vector>

// New paths from the own pattern: a "/" in the pattern's own text starts a
// folder ("{albumartist}/{year} - {album}/{track} - {song}"), while a "/"
// inside a field's value still becomes "-". Every component takes the
// passes of a name; the last one is the file's name and ends in ".mp3".
namespace zentrio {

// The fields a file must have for the pattern to name it: those outside
// optional parts, by their names in the pattern ("artist", "album").
// Empty when the tag has them all.
QStringList missingFields(const std::vector<PatternPart>& parts, const TagFields& tag);

// A fault of a pattern that makes folders, which the parser alone lets
// through: nothing between two "/" (or after the last), a part of blanks
// alone, or a part that is "." or ".." in the pattern's own text.
std::optional<PatternError> pathPatternFault(const QString& text);

// The new path's components, relative to where the file lands: folders
// first, the file's name last. Empty when the pattern gives no name. The
// options are Pattern::Own ones with their run widths (withRunWidths).
std::vector<QString> composeNewPath(const TagFields& tag, const NameOptions& options, int number);

} // namespace zentrio
