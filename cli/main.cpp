// zentrio-cli: the names, checks and undo of Zentrio from the command line,
// across a whole library. Linked to the core only: no display is needed.

#include "cli/commands.h"
#include "cli/exitstatus.h"

#include <string>
#include <vector>

namespace {

// "--album=" gives the option an empty value, as "--album ''" does; left
// whole, the parser would take the next argument (a path) for its value.
// After "--" every argument is a path, as it is given.
std::vector<std::string> emptyValuesApart(int argc, char* argv[])
{
    std::vector<std::string> arguments;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i];
        options = options && argument != "--";
        if (options && i > 0 && argument.size() > 3 && argument.starts_with("--")
            && argument.find('=') == argument.size() - 1) {
            arguments.push_back(argument.substr(0, argument.size() - 1));
            arguments.emplace_back();
        } else {
            arguments.push_back(argument);
        }
    }
    return arguments;
}

} // namespace

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
    zentrio::cli::addDupesCommand(app, run);
    try {
        std::vector<std::string> arguments = emptyValuesApart(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments)
            pointers.push_back(argument.data());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? zentrio::cli::kDone : zentrio::cli::kUsage;
    }
    return run ? run() : zentrio::cli::kUsage;
}
