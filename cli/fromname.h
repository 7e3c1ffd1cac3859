#pragma once

#include "cli/tagbatchrun.h"

#include <optional>
#include <string>

// "tag from-name"'s pattern, read by the core's pattern language and made
// into the values each file of the batch gets from where it lies.
namespace zentrio::cli {

// nullopt, with the fault and its place said on stderr, when the pattern
// cannot be read; `underscoreIsBlank` reads "_" as a blank in names and
// pattern alike.
std::optional<ValuesOf> valuesFromNames(const std::string& pattern, bool underscoreIsBlank);

} // namespace zentrio::cli
