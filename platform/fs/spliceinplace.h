#pragma once

#include "platform/fs/patchfile.h"
#include "platform/fs/splicefile.h"

#include <functional>
#include <string>

namespace zentrio::fs {

// Gives the file the spliced content in place, so that it stays the same
// file to the system (its inode and so its hard links, owner, group, mode,
// ACLs and extended attributes): when it still holds what was expected, its
// old bytes from its start to its end are streamed into a crash copy in
// `copyFolder` (platform/fs/streamcopy.h), synced; then the new content is
// written over the file, read back from the copy where the old bytes move,
// the file is cut to its new length and synced; then the copy is removed. A
// write that fails is put back at once from the copy; one that cannot be
// put back keeps its copy for the next start. A file that cannot be opened
// for writing is refused, as an in-place patch refuses it, and so is a file
// whose earlier copy waits for a start. `afterCopy` runs between the copy
// and the write (tests stop the process there). Memory stays small
// whatever the file's size.
bool spliceInPlace(const std::string& path, const Splice& splice, const Expectation& expected,
    const std::string& copyFolder, const std::function<void()>& afterCopy = {});

} // namespace zentrio::fs
