#include "cli/commands.h"
#include "cli/cutrepair.h"
#include "cli/exitstatus.h"
#include "cli/performplan.h"
#include "platform/fs/fsops.h"
#include "rename/library/planfile.h"
#include "rename/history/runstarted.h"

namespace zentrio::cli {

namespace {

struct ApplyOptions {
    std::string file;
    bool json = false;
    bool dryRun = false;
    std::string conflicts = "stop";
};

int runApply(const ApplyOptions& options)
{
    const auto text = fs::readWholeFile(options.file);
    if (!text) {
        complain(shellQuoted(options.file) + ": cannot be read");
        return kUsage;
    }
    std::string error;
    auto saved = planFromJson(QByteArray::fromStdString(*text), error);
    if (!saved) {
        complain(shellQuoted(options.file) + ": " + error);
        return kUsage;
    }
    if (!options.dryRun)
        repairCutMoves();
    const RunStarted started = RunStarted::leave(RunHistory::standard());
    const PathDisplay display = displayFromHere();
    const LibraryPlan plan = replanSavedMoves(std::move(*saved), conflictPolicy(options.conflicts));
    return performPlan(plan, display, { options.json, options.dryRun, {} });
}

} // namespace

void addApplyCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<ApplyOptions>();
    CLI::App* apply = app.add_subcommand("apply",
        "Perform a plan written by rename --plan-out, if it is one rename could have made, every file is still "
        "the one the plan saw and every target still free (see --conflicts); otherwise change nothing.");
    apply->add_option("FILE", options->file, "the plan")->required();
    addConflictsOption(*apply, options->conflicts);
    apply->add_flag("-n,--dry-run", options->dryRun, "show what the plan would do now, after all its checks, and change nothing");
    apply->add_flag("--json", options->json, "one JSON object per file: from, to, status, reason");
    apply->footer(kExitStatusHelp);
    apply->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runApply(*options);
        };
    });
}

} // namespace zentrio::cli
