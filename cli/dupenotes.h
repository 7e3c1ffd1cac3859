#pragma once

#include "cli/pathdisplay.h"
#include "rename/library/libraryplan.h"
#include "tags/dupes/dupesearch.h"

// What a move of the extra copies cannot take along, said on stderr before
// it is made: a symbolic link in the folders searched to a file that is
// moved (left pointing at nothing), and another name (hard link) of a file
// moved or kept, which stays where it is.
namespace zentrio::cli {

void warnOfOtherNames(const DupesFound& found, const LibraryPlan& plan, const PathDisplay& display);

} // namespace zentrio::cli
