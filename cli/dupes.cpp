#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/cutrepair.h"
#include "cli/dupenotes.h"
#include "cli/duperecords.h"
#include "cli/exitstatus.h"
#include "cli/formatoption.h"
#include "cli/performplan.h"
#include "platform/fs/filenames.h"
#include "rename/history/runstarted.h"
#include "tags/dupes/dupeconfirm.h"
#include "tags/dupes/dupemoves.h"

#include <algorithm>
#include <sys/stat.h>

namespace zentrio::cli {

namespace {

struct DupesOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    std::string formats;
    std::string by = "audio";
    bool nul = false;
    bool json = false;
    std::string moveTo;
    std::string keep = "first";
    std::string conflicts = "stop";
    bool dryRun = false;
};

// The folder of each path given (a file: its own folder): what a move
// plan is made for.
std::vector<std::string> rootsOf(const std::vector<std::string>& paths)
{
    std::vector<std::string> roots;
    for (const std::string& path : paths) {
        struct stat st { };
        roots.push_back(::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? path : parentOf(path));
    }
    return roots;
}

// The faults of the search on stderr; kSomeFailed when there were any.
int reportFaults(const DupesFound& found, const PathDisplay& display)
{
    for (const WalkFailure& failure : found.failures)
        complain(display.said(failure.path) + ": " + failure.reason);
    for (const DupeFault& fault : found.faults)
        complain(display.said(fault.path, fault.argument) + ": " + fault.reason
            + (fault.kept.empty() ? "" : " " + display.said(fault.kept, fault.keptArgument)));
    return found.failures.empty() && found.faults.empty() ? kDone : kSomeFailed;
}

// The groups, and a summary of the files beyond the one of each group that
// --keep keeps (those --move-to moves) and their bytes.
void writeGroups(const DupesFound& found, const DupeFormat& format, KeepRule keep, const PathDisplay& display)
{
    std::size_t extra = 0;
    std::int64_t extraBytes = 0;
    for (const DupeGroup& group : found.groups) {
        writeText(groupRecord(format, found, group, display));
        extra += group.files.size() - 1;
        const std::size_t kept = keptFile(found, group, keep);
        for (std::size_t k = 0; k < group.files.size(); ++k)
            extraBytes += k == kept ? 0 : found.files[group.files[k]].identity.size;
    }
    if (!format.json && !format.nul)
        tell("groups " + std::to_string(found.groups.size()) + ", files beyond one a group " + std::to_string(extra)
            + " (" + std::to_string(extraBytes) + " bytes)");
}

int runDupes(const DupesOptions& options)
{
    const auto paths = absolutePaths(options.paths);
    const auto formats = chosenFormats(options.formats, false);
    const auto keep = keepRuleNamed(options.keep);
    if (!paths || !formats || !keep)
        return kUsage;
    PathDisplay display = displayForArguments(options.paths, *paths);
    std::string moveTo;
    if (!options.moveTo.empty()) {
        const auto to = absoluteTarget(options.moveTo);
        if (!to)
            return kUsage;
        moveTo = *to;
        display.setTarget(moveTo, options.moveTo);
        const auto roots = rootsOf(*paths);
        if (std::find(roots.begin(), roots.end(), moveTo) != roots.end()) {
            // Each copy would be moved onto its own name.
            complain("--move-to " + options.moveTo + ": a folder searched; copies are moved out of it");
            return kUsage;
        }
    }
    const bool changes = !moveTo.empty() && !options.dryRun;
    if (changes)
        repairCutMoves();
    const RunStarted started = changes ? RunStarted::leave(RunHistory::standard()) : RunStarted();
    DupeRequest request;
    request.paths = *paths;
    request.recursive = options.recursive;
    if (!moveTo.empty())
        request.leftOut = { moveTo }; // the copies moved there by an earlier run are not found again
    request.formats = *formats;
    request.kind = options.by == "tags" ? DupeKind::Tags : DupeKind::Audio;
    Progress progress(!options.json);
    const auto told = [&](const char* stage, std::size_t done, std::size_t total) {
        progress.update(stage, done, total);
        return !interrupted.load();
    };
    DupesFound found = findDuplicates(request, told);
    // A digest is no proof: what is moved is first compared byte for byte.
    const bool confirmed = moveTo.empty() || request.kind != DupeKind::Audio || confirmGroups(found, *keep, told);
    progress.clear();
    if (!found.complete || !confirmed || interrupted.load())
        return kInterrupted; // nothing was changed
    const int status = reportFaults(found, display);
    writeGroups(found, { request.kind, options.nul, options.json }, *keep, display);
    if (moveTo.empty())
        return status;
    const LibraryPlan plan
        = planDupeMoves(found, rootsOf(*paths), moveTo, *keep, conflictPolicy(options.conflicts));
    if (!plan.hasConflicts())
        warnOfOtherNames(found, plan, display);
    // With -0 stdout holds the groups' NUL records alone: the moves are told on stderr.
    const int moved = performPlan(plan, display, { options.json, options.dryRun, {}, options.nul });
    return moved != kDone ? moved : status;
}

} // namespace

void addDupesCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<DupesOptions>();
    CLI::App* dupes = app.add_subcommand("dupes",
        "Find groups of files whose audio is identical: the bytes between their tags, so that copies that differ "
        "in tags, names or folders are found; of one format, and for WAV, AIFF and MP4 with the same format "
        "description. Files whose audio length is unique are never read in full. A listing relies on a 64-bit "
        "digest (no proof); --move-to compares each file byte for byte with the one that stays first. A file "
        "whose audio cannot be delimited is reported and left out. Nothing is deleted.");
    dupes->add_option("PATH", options->paths, "audio files and folders (a folder: its audio files)")->required();
    dupes->add_flag("-r,--recursive", options->recursive, "every folder below each folder too");
    addFormatOption(*dupes, options->formats);
    dupes
        ->add_option("--by", options->by,
            "audio (the default: the same audio bytes) or tags (the same artist, album and song, letter case aside: "
            "a weaker kind, their audio may differ)")
        ->check(CLI::IsMember({ "audio", "tags" }));
    CLI::Option* nul = dupes->add_flag("-0,--null", options->nul,
        "each group's paths byte for byte, each ended by a NUL, and an empty record after the group; with "
        "--move-to the moves are told on stderr");
    dupes->add_flag("--json", options->json, "one JSON object per group and line: kind, count, audioBytes, digest, "
                                             "files (path, size, format, artist, album, song)")
        ->excludes(nul);
    CLI::Option* moveTo = dupes->add_option("--move-to", options->moveTo,
        "move all but one file of each group into this folder, each keeping its name and its folder below the "
        "path it was found from; this folder (not one of the PATHs) and those below it are not searched; each "
        "file is compared byte for byte with the one that stays first; checked as a whole run, and taken back by "
        "zentrio-cli undo; symbolic links to a moved file and further hard links are named on stderr and stay");
    moveTo->check(CLI::Validator(
        [](const std::string& folder) {
            return folder.empty() ? std::string("an empty folder: leave --move-to out to move nothing") : std::string();
        },
        "FOLDER"));
    dupes
        ->add_option("--keep", options->keep,
            "which file of a group stays with --move-to: first (in path order, the default), newest, oldest "
            "(by modification time), shortest-path")
        ->check(CLI::IsMember({ "first", "newest", "oldest", "shortest-path" }))
        ->needs(moveTo);
    addConflictsOption(*dupes, options->conflicts);
    dupes->get_option("--conflicts")->needs(moveTo);
    dupes->add_flag("-n,--dry-run", options->dryRun, "with --move-to: show the moves and change nothing")
        ->needs(moveTo);
    dupes->footer(kExitStatusHelp);
    dupes->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runDupes(*options);
        };
    });
}

} // namespace zentrio::cli
