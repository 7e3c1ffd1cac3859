#pragma once

#include "platform/fs/fsops.h"

#include <string>

// One rename in a folder, as a run record writes it down before the run
// makes it.
namespace zentrio {

// A rename the run will try: old name, new name and the file's identity.
struct PlannedRename {
    std::string oldName;
    std::string newName;
    fs::FileIdentity identity;
};

} // namespace zentrio
