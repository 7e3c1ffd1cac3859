#pragma once

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

} // namespace zentrio::cli
