#pragma once

#include "cli/output.h"
#include "rename/library/libraryplan.h"

#include <CLI/CLI.hpp>

#include <string>

// What rename and apply share once a plan is made.
namespace zentrio::cli {

// The --conflicts option of rename and apply, and the policy its word names.
void addConflictsOption(CLI::App& command, std::string& word);
ConflictPolicy conflictPolicy(const std::string& word);

// The plan shown (and, for a dry run or a plan kept for later, nothing
// more), or the run recorded in the journal, performed and reported.
// Returns the exit status.
struct PlanRun {
    bool json = false;
    bool dryRun = false;
    std::string planOut; // write the checked plan here instead of running it
    // The text report (moves and summary) on stderr: stdout holds records
    // of another kind (dupes -0).
    bool reportToStderr = false;
};
int performPlan(const LibraryPlan& plan, const PathDisplay& display, const PlanRun& how);

} // namespace zentrio::cli
