#pragma once

#include <ctime>
#include <string>
#include <string_view>

// Where a damaged journal goes: beside it, under a name of its own, so that
// a new one can begin while the damaged one is kept for a look.
namespace zentrio::fs {

// PATH.damaged-TIME for the first try, PATH.damaged-TIME-N for the Nth
// after it, once the names before are taken.
std::string damagedName(const std::string& path, std::time_t time, int attempt);

// Renames a damaged file to the first of its damaged names that is free,
// never over another file. False when it stays where it is.
bool setAsideDamaged(const std::string& path);

// Keeps a copy of a damaged file's text beside it, under the first of its
// damaged names that is free, never over another file: written whole and
// synced under a name of its own first. The name of the copy; empty when
// none could be kept.
std::string keepDamagedCopy(const std::string& path, std::string_view text);

} // namespace zentrio::fs
