#pragma once

#include <ctime>
#include <string>

// Where a damaged journal goes: beside it, under a name of its own, so that
// a new one can begin while the damaged one is kept for a look.
namespace zentrio::fs {

// PATH.damaged-TIME for the first try, PATH.damaged-TIME-N for the Nth
// after it, once the names before are taken.
std::string damagedName(const std::string& path, std::time_t time, int attempt);

// Renames a damaged file to the first of its damaged names that is free,
// never over another file. False when it stays where it is.
bool setAsideDamaged(const std::string& path);

} // namespace zentrio::fs
