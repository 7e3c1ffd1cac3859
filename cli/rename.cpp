#include "cli/arguments.h"
#include "cli/cutrepair.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/formatoption.h"
#include "cli/patternargument.h"
#include "cli/performplan.h"
#include "cli/queryargument.h"
#include "rename/history/runstarted.h"

namespace zentrio::cli {

namespace {

struct RenameOptions {
    std::vector<std::string> paths;
    std::string pattern;
    bool recursive = false;
    bool id3v1 = false;
    std::string formats;
    std::string to;
    std::string fs = "auto";
    std::string conflicts = "stop";
    bool dryRun = false;
    std::string planOut;
    bool json = false;
    std::string separator = " - ";
    bool noAccent = false;
    bool noSpace = false;
    std::optional<std::string> query;
};

int runRename(const RenameOptions& options)
{
    const auto pattern = readPattern(options.pattern, false, true);
    if (!pattern)
        return kUsage;
    const auto paths = absolutePaths(options.paths);
    const auto formats = chosenFormats(options.formats, options.id3v1);
    const auto query = readQuery(options.query);
    if (!paths || !formats || !query)
        return kUsage;
    LibraryRequest request;
    request.query = *query;
    request.paths = *paths;
    request.recursive = options.recursive;
    request.formats = *formats;
    request.source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    request.options.pattern = Pattern::Own;
    request.options.own = pattern;
    request.options.separator = QString::fromStdString(options.separator);
    request.options.foldO = request.options.noAccent = options.noAccent;
    request.options.noSpace = options.noSpace;
    request.options.ampersandToN = false;
    request.options.foldEveryAccent = true;
    request.conflicts = conflictPolicy(options.conflicts);
    request.shownOnly = options.dryRun && options.planOut.empty();
    request.fsChoice = options.fs == "fat" ? FsChoice::Fat : options.fs == "posix" ? FsChoice::Posix : FsChoice::Auto;
    PathDisplay display = displayForArguments(options.paths, *paths);
    if (!options.to.empty()) {
        const auto to = absoluteTarget(options.to);
        if (!to)
            return kUsage;
        request.to = *to;
        display.setTarget(*to, options.to);
    }
    const bool changes = !options.dryRun && options.planOut.empty();
    if (changes)
        repairCutMoves();
    const RunStarted started = changes ? RunStarted::leave(RunHistory::standard()) : RunStarted();
    Progress progress(!options.json);
    const LibraryPlan plan = planLibraryRename(request, [&](std::size_t read, std::size_t total) {
        progress.update("reading", read, total);
        return !interrupted.load();
    });
    progress.clear();
    if (interrupted.load())
        return kInterrupted; // nothing was changed
    return performPlan(plan, display, { options.json, options.dryRun, options.planOut });
}

} // namespace

void addRenameCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<RenameOptions>();
    CLI::App* rename = app.add_subcommand("rename",
        "Name every file by a pattern; a \"/\" in the pattern's own text makes folders, and a \"/\" or \"\\\" in a "
        "field's value becomes \"-\" (\"&\" stays \"&\"). The whole run is checked before anything moves: any "
        "conflict, and nothing is renamed (see --conflicts).");
    rename->add_option("PATH", options->paths, "audio files and folders (a folder: its audio files)")->required();
    rename
        ->add_option("-p,--pattern", options->pattern,
            "the own-pattern language: {artist} {album} {song} {track} {tracks} {disc} {discs} {year} {genre} "
            "{albumartist} {n} {sep}, fallbacks {albumartist|artist} {albumartist|\"Various Artists\"}, "
            "[optional parts], {field:upper|lower|title|N}")
        ->required();
    rename->add_flag("-r,--recursive", options->recursive, "every folder below each folder too");
    addFormatOption(*rename, options->formats);
    addQueryOption(*rename, options->query);
    rename->add_flag("--id3v1", options->id3v1,
        "read the ID3v1 tag of MP3 files only (default: ID3v2 first, then ID3v1; other formats by their own tags)");
    rename->add_option("--to", options->to, "the new paths go under this folder (default: each file's own folder)")
        ->check(CLI::Validator(
            [](const std::string& folder) {
                // An unset shell variable must not turn a move into a rename in place.
                return folder.empty() ? std::string("an empty folder: leave --to out to rename in place") : std::string();
            },
            "FOLDER"));
    rename
        ->add_option("--fs", options->fs,
            "names for the target file system: auto (by its type), fat (for FAT, exFAT, NTFS and SMB anywhere), "
            "posix (no change)")
        ->check(CLI::IsMember({ "auto", "posix", "fat" }));
    addConflictsOption(*rename, options->conflicts);
    rename->add_flag("-n,--dry-run", options->dryRun, "show the plan and change nothing");
    rename->add_option("--plan-out", options->planOut, "write the checked plan as JSON to FILE and change nothing")
        ->type_name("FILE");
    rename->add_flag("--json", options->json, "one JSON object per file: from, to, status, reason");
    rename->add_option("--sep", options->separator, "the text of {sep} (default \" - \")");
    rename->add_flag("--no-accent", options->noAccent,
        "accented Latin and Greek letters lose their accents (\"Őrült Ütő\" as \"Orult Uto\")");
    rename->add_flag("--no-space", options->noSpace, "blanks become \"_\"");
    rename->footer(kExitStatusHelp);
    rename->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runRename(*options);
        };
    });
}

} // namespace zentrio::cli
