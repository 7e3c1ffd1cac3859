#pragma once

#include "platform/fs/fsops.h"

#include <cstdint>
#include <string>
#include <vector>

// What the tag journal asks of the history of renames and moves: where the
// files of an earlier change lie now, and news of the files an undo
// rewrote. The run history answers both; a journal without a trail takes
// every path as it was recorded.
namespace zentrio {

// A file Zentrio rewrote at `path` (a tag undo): its identity just before.
struct RewrittenFile {
    std::string path;
    fs::FileIdentity before;
};

class FileTrail {
public:
    virtual ~FileTrail() = default;
    // The paths now of the files that lay at `paths` when a change was made
    // at `since` (seconds since the epoch).
    virtual std::vector<std::string> whereNow(std::int64_t since, const std::vector<std::string>& paths) const = 0;
    // Tells whoever knows these files by identity that they were rewritten.
    virtual void noteRewritten(const std::vector<RewrittenFile>& files) const = 0;
};

} // namespace zentrio
