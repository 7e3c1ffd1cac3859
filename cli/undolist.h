#pragma once

#include "rename/history/journalfolder.h"

#include <string>

// What `undo --list` writes, and the words undo shares with it.
namespace zentrio::cli {

int listRuns(const RunHistory& history, bool json);

// "command line" or "window", and a Folder run's folder.
std::string runText(RunKind kind, RunOrigin origin, const std::string& folder);

} // namespace zentrio::cli
