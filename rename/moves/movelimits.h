#pragma once

#include "rename/moves/targetfs.h"

#include <string>
#include <unordered_map>

// What a move needs besides a free target: a new path its file system
// takes, and folders the user may write in. Checked with the rest of the
// run before anything moves, so a run that would stop halfway never starts.
namespace zentrio {

// Why `path` cannot be made on `target` (a name or the whole path longer
// than it takes), or empty.
std::string faultOfLength(const std::string& path, const TargetFs& target);

// Whether the user may make and remove entries in a folder (write and
// search rights, by the effective user and group, as the kernel decides a
// rename), each folder asked once. Root passes but on a read-only mount.
class WritableFolders {
public:
    bool at(const std::string& folder);

private:
    std::unordered_map<std::string, bool> m_known;
};

} // namespace zentrio
