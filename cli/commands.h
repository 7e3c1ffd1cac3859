#pragma once

#include "cli/output.h"

#include <CLI/CLI.hpp>

#include <functional>

// Each command adds itself to the program's parser with its options, and
// when the command line names it, leaves in `run` what it does.
namespace zentrio::cli {

using Command = std::function<int()>;

void addListCommand(CLI::App& app, Command& run);
void addRenameCommand(CLI::App& app, Command& run);
void addApplyCommand(CLI::App& app, Command& run);
void addUndoCommand(CLI::App& app, Command& run);
void addTagCommand(CLI::App& app, Command& run);
void addTagUndoCommand(CLI::App& tag, Command& run);
void addDupesCommand(CLI::App& app, Command& run);

} // namespace zentrio::cli
