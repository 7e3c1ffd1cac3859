#pragma once

#include "rename/history/journalfolder.h"
#include "tags/journal/filetrail.h"
#include "tags/journal/tagjournal.h"

#include <memory>

// The run history as the tag journal's trail: a tag change finds its files
// where the runs recorded since moved them, and those runs learn of the
// files its undo rewrote.
namespace zentrio {

std::shared_ptr<const FileTrail> runTrail(RunHistory history);

// The user's tag journal, following the user's run history.
TagJournal standardTagJournal();

} // namespace zentrio
