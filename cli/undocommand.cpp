#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "rename/undo.h"

#include <ctime>

namespace zentrio::cli {

namespace {

struct UndoOptions {
    bool dryRun = false;
    bool list = false;
    bool drop = false;
};

std::string stateText(const RunSummary& summary, bool going)
{
    if (going)
        return "going on";
    if (!summary.progress.end)
        return "cut short (undo looks at the disk)";
    switch (*summary.progress.end) {
    case RunEnd::Completed:
        return "completed";
    case RunEnd::Failed:
        return "stopped at a failure";
    case RunEnd::Interrupted:
        break;
    }
    return "interrupted";
}

std::string runText(RunKind kind, RunOrigin origin, const std::string& folder)
{
    const std::string by = origin == RunOrigin::Window ? "window" : "command line";
    return kind == RunKind::Folder ? by + ", renames in " + folder : by;
}

// The runs kept, newest first: the history's, then the previous journal's.
int listRuns(const RunHistory& history)
{
    int shown = 0;
    const auto files = history.files();
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        const auto summary = readRunSummary(file->path);
        if (!summary)
            continue;
        std::string line = timeText(summary->time) + "  " + runText(summary->kind, summary->origin, summary->folder)
            + "  " + std::to_string(summary->moves) + " files";
        if (summary->kind == RunKind::Moves)
            line += ", " + std::to_string(summary->madeFolders) + " folders to make, "
                + std::to_string(summary->emptiedFolders) + " to empty";
        writeRecord(line + "  " + stateText(*summary, runInProgress(file->path))
            + (shown == 0 ? "  <- undo takes this one" : ""));
        ++shown;
    }
    const RenameJournal legacy(defaultJournalPath());
    const auto contents = legacy.load();
    for (auto record = contents.records.rbegin(); record != contents.records.rend(); ++record) {
        writeRecord("(previous journal)  renames in " + record->folder + "  " + std::to_string(record->renames.size())
            + " files" + (shown == 0 ? "  <- undo takes this one" : ""));
        ++shown;
    }
    if (contents.state == RenameJournal::State::Damaged)
        complain("the previous journal " + legacy.path() + " is damaged: undo sets it aside");
    if (shown == 0)
        writeRecord("no runs to undo");
    return kDone;
}

// The newest run forgotten: its moves not undone are said, so that the
// person still knows where those files went.
int dropRun(const NewestUndo& dropped)
{
    const PathDisplay display = displayFromHere();
    for (const Move& move : dropped.result.remaining) {
        if (!isCycleName(move.from))
            tell("not undone: " + display.said(move.from) + " -> " + display.said(move.to));
    }
    writeRecord("dropped the newest run (" + runText(dropped.kind, dropped.origin, dropped.folder)
        + (dropped.time != 0 ? ", " + timeText(dropped.time) : std::string()) + ") without undoing it; "
        + std::to_string(dropped.result.remaining.size())
        + " of its moves stay as they are; undo now takes the run before it");
    return kDone;
}

int runUndo(const UndoOptions& options)
{
    const RunHistory history = RunHistory::standard();
    if (options.list)
        return listRuns(history);
    const NewestUndo undo = options.drop ? dropNewestRun(history, defaultJournalPath())
                                         : undoNewestRun(history, defaultJournalPath(), options.dryRun);
    switch (undo.status) {
    case NewestUndo::Status::Nothing:
        writeRecord("nothing to undo");
        return kDone;
    case NewestUndo::Status::Dropped:
        return dropRun(undo);
    case NewestUndo::Status::InProgress:
        complain("the newest run is still going on; undo it once it has ended");
        return kSomeFailed;
    case NewestUndo::Status::Damaged:
    case NewestUndo::Status::Unavailable:
        complain(undo.error);
        return kSomeFailed;
    case NewestUndo::Status::Undone:
        break;
    }
    const PathDisplay display = displayFromHere();
    const MovesUndone& result = undo.result;
    for (const Move& move : result.back) {
        if (isCycleName(move.from))
            continue; // a cycle's halfway step
        writeRecord(display.show(move.to) + " -> " + display.show(move.from));
    }
    for (const LeftAlone& left : result.leftAlone)
        tell("left alone: " + display.said(left.path) + ": " + left.reason);
    for (const std::string& playlist : undo.playlistsRestored)
        writeRecord(std::string(options.dryRun ? "playlist to put back as it was: " : "playlist put back as it was: ")
            + display.show(playlist));
    std::string summary = std::string(options.dryRun ? "dry run, nothing changed: would move back " : "moved back ")
        + std::to_string(result.movedBack) + ", could not " + std::to_string(result.notUndone);
    if (undo.kind == RunKind::Moves)
        summary += "; folders " + std::string(options.dryRun ? "to make again " : "made again ")
            + std::to_string(result.foldersMade) + ", removed " + std::to_string(result.foldersRemoved);
    summary += " (" + runText(undo.kind, undo.origin, undo.folder)
        + (undo.time != 0 ? ", " + timeText(undo.time) : std::string()) + ")";
    writeRecord(summary);
    if (!result.remaining.empty() && !options.dryRun)
        tell("the moves that could not go back now stay in the journal for a later undo; "
             "zentrio-cli undo --drop forgets the run instead, so that the runs before it can be undone");
    return result.notUndone > 0 ? kSomeFailed : kDone;
}

} // namespace

void addUndoCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<UndoOptions>();
    CLI::App* undo = app.add_subcommand("undo",
        "Take back the newest run, whichever made it (this program or the Zentrio window): files back to their "
        "names and folders, folders it made removed when empty, folders it removed made again. A file changed or "
        "moved since is left alone and reported.");
    CLI::Option* dryRun = undo->add_flag("-n,--dry-run", options->dryRun, "show what undo would do and change nothing");
    undo->add_flag("--list", options->list, "show the runs kept: time, files, folders");
    undo->add_flag("--drop", options->drop,
            "forget the newest run without undoing it (when its files cannot all come back), so that the runs before "
            "it can be undone; not with -n (a usage fault)")
        ->excludes(dryRun);
    undo->footer(kExitStatusHelp);
    // No Ctrl-C handler: undo decides by the disk, so one ended at any
    // moment is finished by the next undo.
    undo->callback([options, &run] { run = [options] { return runUndo(*options); }; });
}

} // namespace zentrio::cli
