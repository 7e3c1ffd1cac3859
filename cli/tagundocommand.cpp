#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/tagbatchrun.h"
#include "tags/tagfilewrite.h"
#include "tags/tagjournal.h"

#include <ctime>

namespace zentrio::cli {

namespace {

struct TagUndoOptions {
    bool dryRun = false;
    bool list = false;
    bool drop = false;
};

const char* originText(TagOrigin origin)
{
    return origin == TagOrigin::Window ? "window" : "command line";
}

int listCommands(const TagJournal& journal)
{
    const auto commands = journal.list();
    if (!commands) {
        complain("the tag journal cannot be read, or is damaged (undo sets a damaged one aside)");
        return kSomeFailed;
    }
    for (auto command = commands->rbegin(); command != commands->rend(); ++command) {
        writeRecord(timeText(command->time) + "  " + originText(command->origin) + "  " + std::to_string(command->files)
            + " files" + (command == commands->rbegin() ? "  <- undo takes this one" : ""));
    }
    if (commands->empty())
        writeRecord("no tag changes to undo");
    return kDone;
}

const char* verdictText(TagUndoStep::Verdict verdict)
{
    switch (verdict) {
    case TagUndoStep::Verdict::PutBack:
        return "put back";
    case TagUndoStep::Verdict::AlreadyBack:
        return "already as it was";
    case TagUndoStep::Verdict::ChangedSince:
        return "changed since: left alone";
    case TagUndoStep::Verdict::NotWritten:
        return "cannot be written now: left for the next undo";
    case TagUndoStep::Verdict::NotAttempted:
        return "not done (interrupted): left for the next undo";
    case TagUndoStep::Verdict::Unreadable:
        break;
    }
    return "cannot be reached now: left for the next undo";
}

bool isBack(TagUndoStep::Verdict verdict)
{
    return verdict == TagUndoStep::Verdict::PutBack || verdict == TagUndoStep::Verdict::AlreadyBack;
}

int preview(const TagJournal& journal)
{
    const auto steps = journal.previewNewest();
    if (!steps) {
        complain("the tag journal cannot be read, or is damaged (undo sets a damaged one aside)");
        return kSomeFailed;
    }
    const PathDisplay display = displayFromHere();
    int back = 0, left = 0;
    for (const TagUndoStep& step : *steps) {
        const bool putBack = isBack(step.verdict);
        ++(putBack ? back : left);
        const std::string verdict = std::string(verdictText(step.verdict)) + ": ";
        if (putBack)
            writeRecord(verdict + display.show(step.path));
        else
            tell(verdict + display.said(step.path));
    }
    writeRecord(steps->empty() ? "no tag changes to undo"
                               : "dry run, nothing changed: would put back " + std::to_string(back) + ", leave alone "
                + std::to_string(left));
    return kDone;
}

int dropCommand(const TagJournal& journal)
{
    installInterruptHandler();
    const auto dropped = journal.dropNewest(waitingForOtherCommand);
    if (interrupted.load())
        return kInterrupted;
    if (!dropped) {
        complain("the tag journal cannot be read or written");
        return kSomeFailed;
    }
    if (dropped->files == 0) {
        writeRecord("no tag changes to undo");
        return kDone;
    }
    writeRecord("dropped the newest tag change (" + timeText(dropped->time) + ", " + originText(dropped->origin) + ", "
        + std::to_string(dropped->files) + " files) without undoing it; undo now takes the change before it");
    return kDone;
}

int runTagUndo(const TagUndoOptions& options)
{
    const TagJournal journal = TagJournal::standard();
    if (options.list)
        return listCommands(journal);
    if (options.drop)
        return dropCommand(journal);
    if (options.dryRun)
        return preview(journal);
    reportRepair(repairInterruptedTagWrites());
    installInterruptHandler();
    const auto outcome = journal.undoNewest([](std::size_t) { return !interrupted.load(); }, waitingForOtherCommand);
    if (!outcome) {
        complain("the tag journal cannot be read, or is damaged (a damaged one is set aside, and the next tag change "
                 "begins a new one)");
        return kSomeFailed;
    }
    if (outcome->steps.empty() && !outcome->kept) {
        writeRecord("no tag changes to undo");
        return kDone;
    }
    const PathDisplay display = displayFromHere();
    for (const TagUndoStep& step : outcome->steps) {
        if (!isBack(step.verdict))
            tell(std::string(verdictText(step.verdict)) + ": " + display.said(step.path));
    }
    std::string summary = "put back " + std::to_string(outcome->restored) + ", changed since or not writable "
        + std::to_string(outcome->skipped);
    if (outcome->kept)
        summary += "; the change stays in the journal: run zentrio-cli tag undo again to put back the rest (or "
                   "zentrio-cli tag undo --drop to forget it)";
    writeRecord(summary);
    if (interrupted.load())
        return kInterrupted;
    return outcome->skipped > 0 ? kSomeFailed : kDone;
}

} // namespace

void addTagUndoCommand(CLI::App& tag, Command& run)
{
    auto options = std::make_shared<TagUndoOptions>();
    CLI::App* undo = tag.add_subcommand("undo",
        "Take back the newest tag change, whichever made it (this program or the Zentrio window), byte for byte. "
        "A file changed since is left alone and reported.");
    CLI::Option* dryRun = undo->add_flag("-n,--dry-run", options->dryRun, "show what undo would do and change nothing");
    undo->add_flag("--list", options->list, "show the tag changes kept: time, program, files");
    undo->add_flag("--drop", options->drop,
            "forget the newest tag change without undoing it (its files stay as they are), so that undo takes the one "
            "before; for a change whose files can never be reached again; not with -n (a usage fault)")
        ->excludes(dryRun);
    undo->footer(kTagExitStatusHelp);
    undo->callback([options, &run] { run = [options] { return runTagUndo(*options); }; });
}

} // namespace zentrio::cli
