#pragma once

#include "tags/journal/tagjournal.h"

// "tag undo --list": the tag changes kept, newest first.
namespace zentrio::cli {

const char* originText(TagOrigin origin);

// Returns the exit status.
int listTagChanges(const TagJournal& journal, bool json);

} // namespace zentrio::cli
