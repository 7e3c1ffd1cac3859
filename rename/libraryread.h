#pragma once

#include "rename/treewalk.h"
#include "tags/tagsource.h"

#include <functional>
#include <optional>
#include <vector>

namespace zentrio {

using FolderReads = std::vector<std::optional<IdentifiedTag>>; // by the folder's MP3 order; nullopt: unreadable

// Reads the tags of every MP3 file of the walk on the read pool, whole
// folders at a time in chunks of about kReadChunk files, and hands each
// folder over in the walk's order with its reads. Only one chunk's tags are
// held at once. `keepGoing` is asked after each chunk with the count read
// so far; false stops the reading (it returns false then).
inline constexpr std::size_t kReadChunk = 4096;
bool readFolderTags(const TreeWalk& walk, TagSource source,
    const std::function<void(const WalkedFolder&, FolderReads&)>& each,
    const std::function<bool(std::size_t read)>& keepGoing = {});

} // namespace zentrio
