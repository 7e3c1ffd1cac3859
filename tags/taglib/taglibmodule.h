#pragma once

#include "tags/taglib/taglibentries.h"

// The TagLib module, loaded on first use by any thread. A module that is
// missing or from another build ends the program with a message, as a
// missing library would at its start: no tag is ever read as absent for it.
namespace zentrio {

const TagLibEntries& taglib();

} // namespace zentrio
