#pragma once

// The calls that make writes durable, for the floors that stand for "the
// same writes made durable the cheapest correct way", and the machine's
// load to print beside a figure (the machine is shared with builds).

#include <string>
#include <vector>

namespace bench {

// One syncfs of the file system holding `path`; aborts when it fails, so
// no floor is ever measured on writes that did not reach the disk.
void syncFileSystemOf(const std::string& path);

// An fsync of a file or folder; aborts when it fails.
void syncPath(const std::string& path);

// An fsync of each of `paths`, spread over `threads` threads.
void syncEach(const std::vector<std::string>& paths, int threads);

// The one-minute load average, as uptime shows it.
double loadAverage();

} // namespace bench
