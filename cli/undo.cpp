#include "cli/commands.h"
#include "cli/cutrepair.h"
#include "cli/exitstatus.h"
#include "cli/undolist.h"
#include "platform/fs/fsops.h"
#include "rename/history/journal.h"
#include "rename/history/runstarted.h"
#include "rename/history/undo.h"
#include "rename/history/undolist.h"

#include <ctime>

namespace zentrio::cli {

namespace {

struct UndoOptions {
    bool dryRun = false;
    bool list = false;
    bool drop = false;
    bool json = false;
    std::uint64_t id = 0;
    bool named = false; // an ID was given
};

std::string runName(const NewestUndo& undo)
{
    return (undo.id != 0 ? "run " + std::to_string(undo.id) + ", " : std::string())
        + runText(undo.kind, undo.origin, undo.folder) + (undo.time != 0 ? ", " + timeText(undo.time) : "");
}

// One file of the undo: on stdout as a line, or as a JSON object.
class UndoReport {
public:
    UndoReport(bool json, bool dryRun, std::uint64_t id)
        : m_json(json)
        , m_dryRun(dryRun)
        , m_id(id)
        , m_display(displayFromHere())
    {
    }

    void back(const Move& move) const
    {
        if (!m_json)
            return writeRecord(m_display.show(move.to) + " -> " + m_display.show(move.from));
        QJsonObject object = file(move.to, m_dryRun ? "planned" : "moved back");
        putPath(object, "to", move.from);
        writeJson(object);
    }

    void alone(const std::string& path, const std::string& status, const std::string& reason) const
    {
        if (!m_json)
            return tell(status + ": " + m_display.said(path) + ": " + reason);
        QJsonObject object = file(path, status);
        object.insert("reason", QString::fromStdString(reason));
        writeJson(object);
    }

    void playlist(const std::string& path) const
    {
        if (!m_json)
            return writeRecord(std::string(m_dryRun ? "playlist to put back as it was: " : "playlist put back as it was: ")
                + m_display.show(path));
        writeJson(file(path, m_dryRun ? "playlist planned" : "playlist put back"));
    }

    std::string show(const std::string& path) const { return m_display.show(path); }

    void summary(const std::string& line) const
    {
        if (m_json)
            tell(line);
        else
            writeRecord(line);
    }

private:
    QJsonObject file(const std::string& from, const std::string& status) const
    {
        QJsonObject object;
        if (m_id != 0)
            object.insert("run", qint64(m_id));
        putPath(object, "from", from);
        object.insert("status", QString::fromStdString(status));
        return object;
    }

    bool m_json, m_dryRun;
    std::uint64_t m_id;
    PathDisplay m_display;
};

// What a damaged record cost; true when files are left where the run put
// them because their part of the record is lost.
bool reportDamage(const NewestUndo& undo, const UndoReport& report)
{
    const RecordDamage& damage = undo.damage;
    if (!damage.any())
        return false;
    std::string lines;
    for (const std::size_t line : damage.lines)
        lines += (lines.empty() ? "" : ", ") + std::to_string(line);
    complain("the record of run " + std::to_string(undo.id) + " is damaged at line " + lines
        + "; only its intact moves can be undone");
    const auto one = [](std::size_t count) { return count == 1; };
    if (!damage.lostMoves.empty())
        complain(counted(damage.lostMoves.size(), "move")
            + (one(damage.lostMoves.size()) ? " is lost with it: its file stays where the run put it"
                                            : " are lost with it: their files stay where the run put them"));
    if (damage.lostMade > 0)
        complain(counted(damage.lostMade, "folder") + " the run made " + (one(damage.lostMade) ? "is" : "are")
            + " not known: " + (one(damage.lostMade) ? "it stays" : "they stay"));
    if (damage.lostEmptied > 0)
        complain(counted(damage.lostEmptied, "folder") + " the run removed " + (one(damage.lostEmptied) ? "is" : "are")
            + " not known: made again only where a file goes back to one");
    if (damage.marksLost)
        complain("a mark of the run cannot be read: whether the moves past its last whole mark were made is not "
                 "known, so they are not undone");
    for (const Move& move : undo.unknown)
        report.alone(move.to, "not known", "may have been moved here from " + move.from + "; left as it is");
    if (!undo.keptAside.empty())
        complain("the record as it was is kept in " + undo.keptAside);
    return !damage.lostMoves.empty() || !undo.unknown.empty();
}

// The run to undo when a rename began after the newest record and was never
// recorded: it changed nothing, and undo must not take an older run for it
// unless the person names that run. Returns an exit status to stop with.
std::optional<int> checkUnrecorded(const RunHistory& history, const UndoOptions& options)
{
    if (options.list || !fs::isFolder(history.folder()))
        return std::nullopt;
    const auto unrecorded = unrecordedRun(history);
    if (!unrecorded)
        return std::nullopt;
    const auto kept = keptRuns(history);
    const bool legacy = !RenameJournal(defaultJournalPath()).load().records.empty();
    complain("a rename begun at " + timeText(unrecorded->time)
        + (unrecorded->going ? " is still going on and is not recorded yet"
                             : " was stopped before its record was written; it changed nothing"));
    if ((kept.empty() && !legacy) || options.named || options.dryRun) {
        if (!unrecorded->going && !options.dryRun)
            forgetUnrecorded(*unrecorded);
        return std::nullopt;
    }
    if (kept.empty()) {
        // Its runs have no numbers to name: the next undo takes them.
        if (!unrecorded->going)
            forgetUnrecorded(*unrecorded);
        complain("undo would take a run of the previous journal, not that one; nothing changed; "
                 "zentrio-cli undo again takes it");
        return kConflicts;
    }
    complain("the newest run recorded is run " + std::to_string(kept.front().id) + " (" + timeText(kept.front().time)
        + "), not that one; to take it, name it: zentrio-cli undo " + std::string(options.drop ? "--drop " : "")
        + std::to_string(kept.front().id) + "; nothing changed");
    return kConflicts;
}

int refused(const NewestUndo& undo, bool json)
{
    switch (undo.status) {
    case NewestUndo::Status::Nothing:
        if (json)
            tell("nothing to undo"); // stdout holds JSON only
        else
            writeRecord("nothing to undo");
        return kDone;
    case NewestUndo::Status::InProgress:
        complain("run " + std::to_string(undo.id) + " is still going on; undo it once it has ended");
        return kSomeFailed;
    case NewestUndo::Status::Blocked:
        complain(undo.error + "; nothing changed");
        return kConflicts;
    case NewestUndo::Status::NoSuchRun:
        complain(undo.error + " (zentrio-cli undo --list shows the runs kept); nothing changed");
        return kConflicts;
    default:
        complain(undo.error);
        return kSomeFailed;
    }
}

// The newest run forgotten: its moves not undone are said, so that the
// person still knows where those files went.
int dropRun(const NewestUndo& dropped, bool json)
{
    const PathDisplay display = displayFromHere();
    for (const Move& move : dropped.result.remaining) {
        if (!isCycleName(move.from))
            tell("not undone: " + display.said(move.from) + " -> " + display.said(move.to));
    }
    const std::string line = "dropped the newest run (" + runName(dropped) + ") without undoing it; "
        + std::to_string(dropped.result.remaining.size())
        + " of its moves stay as they are; undo now takes the run before it";
    json ? tell(line) : writeRecord(line);
    return kDone;
}

int runUndo(const UndoOptions& options)
{
    const RunHistory history = RunHistory::standard();
    if (!options.list && !options.dryRun)
        repairCutMoves();
    if (options.list)
        return listRuns(history, options.json);
    if (const auto stop = checkUnrecorded(history, options))
        return *stop;
    UndoRequest request;
    if (options.named)
        request.run = options.id;
    using Action = UndoRequest::Action;
    request.action = options.drop ? Action::Drop : options.dryRun ? Action::DryRun : Action::Undo;
    const NewestUndo undo = undoRun(history, defaultJournalPath(), request);
    if (undo.status == NewestUndo::Status::Dropped)
        return dropRun(undo, options.json);
    if (undo.status != NewestUndo::Status::Undone)
        return refused(undo, options.json);
    const UndoReport report(options.json, options.dryRun, undo.id);
    const MovesUndone& result = undo.result;
    for (const Move& move : result.back) {
        if (!isCycleName(move.from)) // a cycle's halfway step
            report.back(move);
    }
    for (const LeftAlone& left : result.leftAlone)
        report.alone(left.path, "left alone", left.reason);
    for (const std::string& playlist : undo.playlistsRestored)
        report.playlist(playlist);
    const bool lost = reportDamage(undo, report);
    std::string summary = std::string(options.dryRun ? "dry run, nothing changed: would move back " : "moved back ")
        + std::to_string(result.movedBack) + ", could not " + std::to_string(result.notUndone);
    if (undo.kind == RunKind::Moves)
        summary += "; folders " + std::string(options.dryRun ? "to make again " : "made again ")
            + std::to_string(result.foldersMade) + (options.dryRun ? ", to remove " : ", removed ")
            + std::to_string(result.foldersRemoved);
    report.summary(summary + " (" + runName(undo) + ")");
    if (!result.remaining.empty() && !options.dryRun)
        tell("the moves that could not go back now stay in the journal for a later undo; "
             "zentrio-cli undo --drop forgets the run instead, so that the runs before it can be undone");
    return result.notUndone > 0 || lost ? kSomeFailed : kDone;
}

} // namespace

void addUndoCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<UndoOptions>();
    CLI::App* undo = app.add_subcommand("undo",
        "Take back the newest run, whichever made it (this program or the Zentrio window), or the run ID when no "
        "newer run touched its files: files back to their names and folders, folders it made removed when empty, "
        "folders it removed made again. A file changed or moved since is left alone and reported.");
    CLI::Option* id = undo->add_option("ID", options->id,
        "the run to take back, as --list numbers it (default: the newest); refused when a newer run moved its "
        "files again, took a path they go back to, or made or removed one of its folders");
    CLI::Option* dryRun = undo->add_flag("-n,--dry-run", options->dryRun, "show what undo would do and change nothing");
    undo->add_flag("--list", options->list, "show the runs kept: number, time, program, folders, files")
        ->excludes(id);
    undo->add_flag("--json", options->json, "one JSON object per line: each file (or, with --list, each run)");
    undo->add_flag("--drop", options->drop,
            "forget the newest run (ID, when given, must be it) without undoing it, when its files cannot all come "
            "back, so that the runs before it can be undone; not with -n (a usage fault)")
        ->excludes(dryRun);
    undo->footer(std::string(kExitStatusHelp)
        + "\n  (3 for undo too: a newer run touched the run named, or a rename begun after the\n"
          "  newest record was never recorded and no ID names the run to take; nothing changed)");
    // No Ctrl-C handler: undo decides by the disk, so one ended at any
    // moment is finished by the next undo.
    undo->callback([options, id, &run] {
        options->named = id->count() > 0;
        run = [options] { return runUndo(*options); };
    });
}

} // namespace zentrio::cli
