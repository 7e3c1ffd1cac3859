#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "cli/tagbatchrun.h"
#include "cli/tagundolist.h"
#include "rename/history/runtrail.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"

#include <QJsonObject>

namespace zentrio::cli {

namespace {

constexpr const char* kTagUndoExitStatusHelp = "Exit status:\n"
                                                "  0    done, or nothing to undo\n"
                                                "  1    some files were left alone or could not be put back now\n"
                                                "       (-n: would be), or the journal cannot be read\n"
                                                "  2    a usage fault, or no kept change has the ID given\n"
                                                "  3    ID: a newer change wrote some of its files (nothing changed)\n"
                                                "  130  interrupted (Ctrl-C); the change stays, to be undone again";

struct TagUndoOptions {
    std::string id; // empty: the newest change
    bool dryRun = false;
    bool list = false;
    bool drop = false;
    bool json = false;
};

struct VerdictText {
    const char* line;
    const char* json;
};

VerdictText verdictText(TagUndoStep::Verdict verdict)
{
    switch (verdict) {
    case TagUndoStep::Verdict::PutBack:
        return { "put back", "putback" };
    case TagUndoStep::Verdict::AlreadyBack:
        return { "already as it was", "already" };
    case TagUndoStep::Verdict::ChangedSince:
        return { "changed since: left alone", "changed" };
    case TagUndoStep::Verdict::NotWritten:
        return { "cannot be written now: left for the next undo", "notwritten" };
    case TagUndoStep::Verdict::NotAttempted:
        return { "not done (interrupted): left for the next undo", "notdone" };
    case TagUndoStep::Verdict::Unreadable:
        break;
    }
    return { "cannot be reached now: left for the next undo", "unreachable" };
}

bool isBack(TagUndoStep::Verdict verdict)
{
    return verdict == TagUndoStep::Verdict::PutBack || verdict == TagUndoStep::Verdict::AlreadyBack;
}

// Each file's verdict: the files put back on stdout, the others on stderr;
// with --json every file as one object on stdout.
void reportSteps(const TagUndoOutcome& outcome, bool json, bool dryRun)
{
    const PathDisplay display = displayFromHere();
    for (const TagUndoStep& step : outcome.steps) {
        const VerdictText text = verdictText(step.verdict);
        if (json) {
            QJsonObject object { { "change", QString::fromStdString(outcome.id) }, { "status", text.json } };
            putPath(object, "path", step.path);
            writeJson(object);
        } else if (dryRun && isBack(step.verdict)) {
            writeRecord(std::string(text.line) + ": " + display.show(step.path));
        } else if (!isBack(step.verdict)) {
            tell(std::string(text.line) + ": " + display.said(step.path));
        }
    }
}

// A change undo does not take, said; its exit status.
int refusal(const TagUndoOutcome& outcome, const std::string& id)
{
    switch (outcome.refusal) {
    case TagUndoOutcome::Refusal::NoSuchChange:
        complain("no tag change kept has the id " + id + " (zentrio-cli tag undo --list shows them)");
        return kUsage;
    case TagUndoOutcome::Refusal::AmbiguousId:
        complain("more than one tag change has an id beginning " + id + "; give more of it");
        return kUsage;
    case TagUndoOutcome::Refusal::NewerChanges:
        break;
    case TagUndoOutcome::Refusal::None:
        return kDone;
    }
    std::string newer;
    for (const std::string& change : outcome.newer)
        newer += (newer.empty() ? "" : ", ") + change;
    complain("the tag change " + outcome.id + " is not undone: the newer change " + newer
        + " wrote some of its files since (undo that first); nothing changed");
    return kConflicts;
}

void summarize(const TagUndoOutcome& outcome, bool json, bool dryRun)
{
    int putBack = 0, already = 0, notDone = 0;
    for (const TagUndoStep& step : outcome.steps) {
        putBack += step.verdict == TagUndoStep::Verdict::PutBack;
        already += step.verdict == TagUndoStep::Verdict::AlreadyBack;
        notDone += step.verdict == TagUndoStep::Verdict::NotAttempted;
    }
    // The files Ctrl-C left untouched are counted apart: nothing changed them.
    std::string summary = std::string(dryRun ? "dry run, nothing changed: would put back " : "put back ")
        + std::to_string(putBack) + ", changed since or not writable " + std::to_string(outcome.skipped - notDone);
    if (already > 0)
        summary += ", already as they were " + std::to_string(already);
    if (notDone > 0)
        summary += ", not done (interrupted) " + std::to_string(notDone);
    if (outcome.kept && !dryRun)
        summary += "; the change stays in the journal: run zentrio-cli tag undo again to put back the rest (or "
                   "zentrio-cli tag undo --drop to forget it)";
    json ? tell(summary) : writeRecord(summary);
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
        + counted(dropped->files, "file") + ") without undoing it; undo now takes the change before it");
    return kDone;
}

// The undo, or with -n what it would do: the same choice of change and the
// same exit status, nothing written.
int undo(const TagJournal& journal, const TagUndoOptions& options)
{
    if (!options.dryRun)
        reportRepair(repairInterruptedTagWrites());
    installInterruptHandler();
    const auto outcome = journal.undoChange(
        options.id, options.dryRun, [](std::size_t) { return !interrupted.load(); }, waitingForOtherCommand);
    if (interrupted.load() && outcome && outcome->steps.empty())
        return kInterrupted; // given up while waiting for another tag command
    if (!outcome) {
        complain("the tag journal cannot be read, or is damaged (a damaged one is set aside, and the next tag change "
                 "begins a new one)");
        return kSomeFailed;
    }
    if (outcome->refusal != TagUndoOutcome::Refusal::None)
        return refusal(*outcome, options.id);
    if (outcome->steps.empty() && outcome->kept) {
        complain("the tag journal cannot be locked; nothing changed");
        return kSomeFailed;
    }
    if (outcome->steps.empty()) {
        if (!options.json)
            writeRecord("no tag changes to undo");
        return kDone;
    }
    reportSteps(*outcome, options.json, options.dryRun);
    summarize(*outcome, options.json, options.dryRun);
    if (interrupted.load())
        return kInterrupted;
    return outcome->skipped > 0 ? kSomeFailed : kDone;
}

} // namespace

void addTagUndoCommand(CLI::App& tag, Command& run)
{
    auto options = std::make_shared<TagUndoOptions>();
    CLI::App* undoCommand = tag.add_subcommand("undo",
        "Take back the newest tag change, whichever made it (this program or the Zentrio window), byte for byte, "
        "with the modification time the files had before it; with ID, the kept change of that id, unless a newer "
        "change wrote some of its files (exit status 3, nothing changed). A file changed since is left alone and "
        "reported.");
    CLI::Option* id
        = undoCommand
              ->add_option("ID", options->id, "the change to undo, as --list shows it (the first digits are enough)")
              ->check(CLI::Validator(
                  [](const std::string& given) {
                      // An unset shell variable must not take back the newest change instead.
                      return given.empty() ? std::string("an empty ID names no change: leave it out for the newest")
                                           : std::string();
                  },
                  "ID"));
    CLI::Option* dryRun
        = undoCommand->add_flag("-n,--dry-run", options->dryRun, "show what undo would do and change nothing");
    undoCommand->add_flag("--list", options->list, "show the tag changes kept: id, time, folders, program, files")
        ->excludes(id);
    undoCommand->add_flag("--json", options->json,
        "one JSON object per line: per file (change, status, path), or with --list per change (id, time, origin, "
        "newest, file_count, folders, files); absolute paths");
    undoCommand
        ->add_flag("--drop", options->drop,
            "forget the newest tag change without undoing it (its files stay as they are), so that undo takes the one "
            "before; for a change whose files can never be reached again; not with -n or ID (a usage fault)")
        ->excludes(dryRun)
        ->excludes(id);
    undoCommand->footer(kTagUndoExitStatusHelp);
    undoCommand->callback([options, &run] {
        run = [options] {
            const TagJournal journal = standardTagJournal();
            if (options->list)
                return listTagChanges(journal, options->json);
            return options->drop ? dropCommand(journal) : undo(journal, *options);
        };
    });
}

} // namespace zentrio::cli
