#pragma once

#include "platform/fs/fsops.h"
#include "rename/history/journalfolder.h"
#include "tags/journal/filetrail.h"

#include <cstdint>
#include <string>
#include <vector>

// Where the files of an earlier change lie now, as the run history knows
// it: a change recorded by path (a tag change) finds its files again after
// the runs recorded since renamed or moved them.
namespace zentrio {

// The paths now of the files that lay at `paths` when a change was made at
// `since` (seconds since the epoch). Each path is followed through the moves
// made by the runs recorded since, oldest first (and back through the moves
// their undo took back); where the file lies at a
// move's end with the identity (as the run's undo knows it) that move
// recorded, it is that file. A path no run moved stays as it was; one whose
// file is not found where the runs took it is the last place they took it
// to (the file was changed or deleted since).
std::vector<std::string> whereNow(const RunHistory& history, std::int64_t since, const std::vector<std::string>& paths);

// Kept beside the runs once an undo took moves of `run` back (`movedBack`,
// newest first, as the undo took them): those moves the way they went, so
// that a change recorded after the run finds its files where the undo put
// them. The newest kJournalRecords are kept. The caller holds the
// history's lock.
void recordUndone(const RunHistory& history, const RunRecord& run, const std::vector<Move>& movedBack);

// The runs that left these files where they lie learn the files' identities
// as they are now, so that undoing those runs still knows them: on volumes
// where files are known by size and time, and after a rewrite that gave a
// file a new inode. A run still going on, or cut short, is left as it is.
void noteRewritten(const RunHistory& history, const std::vector<RewrittenFile>& files);

} // namespace zentrio
