// zentrio-cli: the names, checks and undo of Zentrio from the command line,
// across a whole library. Linked to the core only: no display is needed.

#include "cli/commands.h"
#include "cli/exitstatus.h"

int main(int argc, char* argv[])
{
    CLI::App app { "Lists, renames and moves audio files by their tags, checked as a whole before anything moves, "
                   "and takes runs back (the newest first, made here or in the Zentrio window).",
        "zentrio-cli" };
    app.set_version_flag("--version", "zentrio-cli " ZENTRIO_VERSION);
    app.footer(zentrio::cli::kExitStatusHelp);
    app.require_subcommand(1);
    zentrio::cli::Command run;
    zentrio::cli::addListCommand(app, run);
    zentrio::cli::addRenameCommand(app, run);
    zentrio::cli::addApplyCommand(app, run);
    zentrio::cli::addUndoCommand(app, run);
    zentrio::cli::addTagCommand(app, run);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? zentrio::cli::kDone : zentrio::cli::kUsage;
    }
    return run ? run() : zentrio::cli::kUsage;
}
