#pragma once

#include "rename/naming/pattern.h"

#include <functional>

namespace zentrio {

// The text of a key of patternTexts() (rename/naming/patterntexts.h) in the
// language wanted.
using PatternTextOf = std::function<QString(const QString& key)>;

// "the pattern cannot be read at character 10: "{" is not closed", in the
// language `textOf` gives: the window and the command line say it alike.
QString patternErrorText(const PatternError& error, const PatternTextOf& textOf);

// The same in the built-in English (the command line's).
QString patternErrorText(const PatternError& error);

} // namespace zentrio
