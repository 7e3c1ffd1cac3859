#pragma once

#include "rename/naming/pattern.h"
#include "tags/read/trailer.h"

#include <string>

// The records "list" writes, one a file: the path and the fields
// tab-separated, a pattern's text, the path alone, or a JSON object.
namespace zentrio::cli {

struct ListFormat {
    const ParsedPattern* pattern = nullptr; // -f
    bool pathsOnly = false; // --paths
    bool nul = false; // -0: records ended by a NUL
    bool json = false;
};

// The column names of the tab-separated records, for a terminal.
std::string listHeader();

// A file's record, not yet ended: `path` is absolute (JSON keeps it),
// `shown` the path as the listing shows it.
std::string listRecord(const ListFormat& format, const std::string& path, const std::string& shown,
    const TagFields& tag, const PatternContext& context);

} // namespace zentrio::cli
