#pragma once

#include "rename/naming/pattern.h"

#include <memory>
#include <string>

// A naming pattern given on the command line (list's -f, rename's -p), read
// by the core's pattern language.
namespace zentrio::cli {

// The pattern; nullptr, with the fault and its place said on stderr, when it
// cannot be read. `escapes` turns "\t" and "\n" into a tab and a line end
// first (list's -f); `makesPaths` also refuses the folders no run could make
// (nothing, blanks alone, "." or ".." between two "/").
std::shared_ptr<const ParsedPattern> readPattern(const std::string& text, bool escapes = false, bool makesPaths = false,
    PatternUse use = PatternUse::Naming);

} // namespace zentrio::cli
