#pragma once

#include "rename/naming/pattern.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The command line's arguments made into what the core takes.
namespace zentrio::cli {

// The paths given, absolute: a folder with its symbolic links resolved, a
// file as its resolved folder and its own name (a link stays a link).
// nullopt, with the faults said on stderr, when one does not exist.
std::optional<std::vector<std::string>> absolutePaths(const std::vector<std::string>& given);

// A folder that may not exist yet (--to): the nearest existing folder above
// it resolved, the rest as given. nullopt, said on stderr, when a part of
// it is "." or "..", or nothing above it exists.
std::optional<std::string> absoluteTarget(const std::string& given);

// A naming pattern; nullopt, with the fault and its place said on stderr,
// when it cannot be read. `escapes` turns "\t" and "\n" into a tab and a
// line end first (list's -f); `makesPaths` also refuses the folders no run
// could make (nothing, blanks alone, "." or ".." between two "/").
std::shared_ptr<const ParsedPattern> readPattern(const std::string& text, bool escapes = false, bool makesPaths = false,
    PatternUse use = PatternUse::Naming);

} // namespace zentrio::cli
