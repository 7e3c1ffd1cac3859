#include "cli/undolist.h"

#include "cli/exitstatus.h"
#include "cli/output.h"
#include "platform/fs/fsops.h"
#include "rename/history/journal.h"
#include "rename/history/runstarted.h"
#include "rename/history/undolist.h"

#include <QJsonArray>

namespace zentrio::cli {

namespace {

constexpr std::size_t kFoldersShown = 3;

std::string stateText(const KeptRun& run)
{
    if (run.going)
        return "going on";
    if (run.damaged && !run.salvaged)
        return "damaged (undo sets it aside)";
    std::string text = "interrupted";
    if (!run.end)
        text = "cut short (undo looks at the disk)";
    else if (*run.end == RunEnd::Completed)
        text = "completed";
    else if (*run.end == RunEnd::Failed)
        text = "stopped at a failure";
    if (run.damaged) {
        text += ", damaged at line";
        for (std::size_t i = 0; i < run.damagedLines.size(); ++i)
            text += (i == 0 ? " " : ", ") + std::to_string(run.damagedLines[i]);
        text += " (its intact moves can be undone)";
    }
    return text;
}

std::string foldersText(const KeptRun& run, const PathDisplay& display)
{
    std::string text;
    for (std::size_t i = 0; i < run.folders.size() && i < kFoldersShown; ++i)
        text += (i == 0 ? " in " : ", ") + display.show(run.folders[i]);
    if (run.folders.size() > kFoldersShown)
        text += " and " + counted(run.folders.size() - kFoldersShown, "more folder");
    return text;
}

std::string byText(RunOrigin origin)
{
    return origin == RunOrigin::Window ? "window" : "command line";
}

void writeRun(const KeptRun& run, bool next, const PathDisplay& display, bool json)
{
    if (json) {
        QJsonObject object;
        object.insert("id", qint64(run.id));
        object.insert("time", QString::fromStdString(timeText(run.time)));
        object.insert("seconds", qint64(run.time));
        object.insert("by", QString::fromStdString(byText(run.origin)));
        object.insert("kind", run.kind == RunKind::Folder ? "folder" : "moves");
        object.insert("files", qint64(run.files));
        QJsonArray folders;
        for (const std::string& folder : run.folders) {
            QJsonObject path;
            putPath(path, "path", folder);
            folders.append(path.value("path"));
        }
        object.insert("folders", folders);
        object.insert("foldersToMake", qint64(run.madeFolders));
        object.insert("foldersToEmpty", qint64(run.emptiedFolders));
        object.insert("state", QString::fromStdString(stateText(run)));
        QJsonArray lines;
        for (const std::size_t line : run.damagedLines)
            lines.append(qint64(line));
        if (run.damaged)
            object.insert("damagedLines", lines);
        object.insert("next", next);
        writeJson(object);
        return;
    }
    std::string line = std::to_string(run.id) + "  " + timeText(run.time) + "  " + byText(run.origin) + "  "
        + counted(run.files, "file") + foldersText(run, display);
    if (run.kind == RunKind::Moves && run.madeFolders + run.emptiedFolders > 0)
        line += "; " + counted(run.madeFolders, "folder") + " to make, " + std::to_string(run.emptiedFolders)
            + " to empty";
    writeRecord(line + "  " + stateText(run) + (next ? "  <- undo takes this one" : ""));
}

} // namespace

std::string runText(RunKind kind, RunOrigin origin, const std::string& folder)
{
    return kind == RunKind::Folder ? byText(origin) + ", renames in " + folder : byText(origin);
}

// The runs kept, newest first: the history's, then the previous journal's.
int listRuns(const RunHistory& history, bool json)
{
    PathDisplay display;
    display.addBase(fs::currentDirectory());
    if (const auto unrecorded = fs::isFolder(history.folder()) ? unrecordedRun(history) : std::nullopt) {
        const std::string what = unrecorded->going ? "a rename begun then is going on, not recorded yet"
                                                   : "a rename begun then was stopped before its record was written; "
                                                     "it changed nothing";
        if (json)
            writeJson({ { "unrecorded", true }, { "time", QString::fromStdString(timeText(unrecorded->time)) },
                { "seconds", qint64(unrecorded->time) }, { "going", unrecorded->going } });
        else
            writeRecord("-  " + timeText(unrecorded->time) + "  " + what);
    }
    int shown = 0;
    for (const KeptRun& run : keptRuns(history))
        writeRun(run, shown++ == 0, display, json);
    const RenameJournal legacy(defaultJournalPath());
    const auto contents = legacy.load();
    for (auto record = contents.records.rbegin(); record != contents.records.rend(); ++record) {
        const bool next = shown++ == 0;
        if (json) {
            QJsonObject object { { "journal", "previous" }, { "files", qint64(record->renames.size()) },
                { "next", next } };
            putPath(object, "folder", record->folder);
            writeJson(object);
        } else {
            writeRecord("(previous journal)  renames in " + record->folder + "  "
                + counted(record->renames.size(), "file") + (next ? "  <- undo takes this one" : ""));
        }
    }
    if (contents.state == RenameJournal::State::Damaged)
        complain("the previous journal " + legacy.path() + " is damaged: undo sets it aside");
    if (shown == 0 && !json)
        writeRecord("no runs to undo");
    return kDone;
}

} // namespace zentrio::cli
