#pragma once

#include "platform/fs/patchfile.h"

#include <cstdint>
#include <string>

namespace zentrio::fs {

// A file's new content: new bytes around a run of its old ones.
struct Splice {
    std::string prefix;
    std::int64_t from = 0; // the old file's bytes [from, to) come next
    std::int64_t to = 0;
    std::string suffix;
};

// Writes the spliced content into a new file beside path (with the old
// one's mode), syncs it and renames it over path, when the old file holds
// what was expected and did not change while it was copied. A failure at
// any step leaves the old file as it was. Never for a file with other hard
// links: replacing it would split it in two. Memory stays small whatever
// the file's size: the old bytes are copied by the kernel. For Zentrio's
// own files (the tag journal): a new file loses the old one's owner, ACLs
// and extended attributes, so a user's file is spliced in place instead
// (platform/fs/spliceinplace.h).
bool replaceBySplice(const std::string& path, const Splice& splice, const Expectation& expected);

} // namespace zentrio::fs
