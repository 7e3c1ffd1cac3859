#pragma once

#include "tags/query/queryparse.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

// The -q option of every command that takes the files of a query alone,
// read by the core's query language.
namespace zentrio::cli {

void addQueryOption(CLI::App& command, std::optional<std::string>& query);

// No -q: nullptr. A fault: nullopt, with its place said on stderr (exit status 2).
std::optional<std::shared_ptr<const Query>> readQuery(const std::optional<std::string>& text);

// "the query matched 3 of 120 files read", for a summary.
std::string matchedText(std::size_t matched, std::size_t read);

} // namespace zentrio::cli
