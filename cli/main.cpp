// zentrio-cli: the names, checks and undo of Zentrio from the command line,
// across a whole library. Linked to the core only: no display is needed.

#include "cli/commands.h"
#include "cli/exitstatus.h"

#include <string>
#include <string_view>
#include <utility>
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

using AddCommand = void (*)(CLI::App&, zentrio::cli::Command&);

constexpr std::pair<std::string_view, AddCommand> kCommands[] = {
    { "list", zentrio::cli::addListCommand },
    { "rename", zentrio::cli::addRenameCommand },
    { "apply", zentrio::cli::addApplyCommand },
    { "undo", zentrio::cli::addUndoCommand },
    { "tag", zentrio::cli::addTagCommand },
    { "dupes", zentrio::cli::addDupesCommand },
};

// A command line that begins with a command's name is parsed by that
// command alone, and one that begins with --version by none: building
// every command's options takes about half a millisecond of each run's
// start. Anything else (--help, a name mistyped) meets them all, and so
// the help and the errors it knows.
void addCommands(CLI::App& app, zentrio::cli::Command& run, std::string_view first)
{
    if (first == "--version")
        return;
    for (const auto& [name, add] : kCommands) {
        if (name == first) {
            add(app, run);
            return;
        }
    }
    for (const auto& [name, add] : kCommands)
        add(app, run);
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
    addCommands(app, run, argc > 1 ? std::string_view(argv[1]) : std::string_view());
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
