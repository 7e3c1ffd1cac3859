#include "rename/undo.h"

#include "platform/filenames.h"
#include "platform/statedir.h"
#include "rename/playlistundo.h"
#include "rename/runreach.h"
#include "rename/runtrace.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zentrio {

namespace {

JournalRecord asRecord(const std::string& folder, bool inodesIdentify, const std::vector<Move>& moves)
{
    JournalRecord record { folder, inodesIdentify, {} };
    const std::size_t prefix = folderPath(folder).size();
    for (const Move& move : moves)
        record.renames.push_back({ move.from.substr(prefix), move.to.substr(prefix), move.identity });
    return record;
}

std::vector<Move> movesOf(const JournalRecord& record)
{
    std::vector<Move> moves;
    const std::string prefix = folderPath(record.folder);
    for (const PlannedRename& r : record.renames)
        moves.push_back({ prefix + r.oldName, prefix + r.newName, r.identity });
    return moves;
}

// Sets a damaged run's file aside, beside the others but not among them.
void setAside(const std::string& path)
{
    const std::string aside = path + ".damaged-" + std::to_string(std::time(nullptr));
    fs::renameNoReplace(path, aside);
}

NewestUndo fromLegacyJournal(const std::string& path, bool dryRun)
{
    NewestUndo undo;
    const RenameJournal journal(path);
    const RenameJournal::Contents contents = journal.load();
    if (contents.state == RenameJournal::State::Damaged) {
        // Said once: the damaged file is set aside and its whole records
        // kept, so the next undo works on them.
        if (!dryRun)
            journal.repair(contents);
        undo.status = NewestUndo::Status::Damaged;
        undo.error = "the rename journal " + path + " is unreadable or damaged";
        return undo;
    }
    if (contents.records.empty())
        return undo;
    const JournalRecord& newest = contents.records.back();
    undo.status = NewestUndo::Status::Undone;
    undo.folder = newest.folder;
    UndoMoves request;
    request.moves = movesOf(newest);
    request.recognition.inodesIdentify = newest.inodesIdentify;
    request.dryRun = dryRun;
    undo.result = undoMoves(request);
    if (!dryRun) {
        const auto& remaining = undo.result.remaining;
        journal.replaceNewest(remaining.empty()
                ? std::nullopt
                : std::optional(asRecord(newest.folder, newest.inodesIdentify, remaining)));
    }
    return undo;
}

// What is left of a run after its undo: its file keeps only that.
void keepRemaining(const std::string& path, RunRecord record, std::vector<Move> remaining,
    const std::vector<PlaylistRewrite>& playlists = {})
{
    if (remaining.empty() && playlists.empty()) {
        ::unlink(path.c_str());
        return;
    }
    record.moves = std::move(remaining);
    record.batch = record.moves.size();
    fs::replaceFileAtomically(path,
        formatRecord(record) + formatEnd(record.moves.size(), RunEnd::Completed) + formatPlaylistLines(playlists));
}

} // namespace

namespace {

enum class Action { Undo, DryRun, Drop };

NewestUndo fromLegacy(const std::string& legacyJournal, Action action)
{
    if (action != Action::Drop)
        return fromLegacyJournal(legacyJournal, action == Action::DryRun);
    NewestUndo dropped;
    const RenameJournal journal(legacyJournal);
    const RenameJournal::Contents contents = journal.load();
    if (contents.records.empty() || !journal.replaceNewest(std::nullopt))
        return dropped;
    dropped.status = NewestUndo::Status::Dropped;
    dropped.folder = contents.records.back().folder;
    dropped.result.remaining = movesOf(contents.records.back());
    return dropped;
}

// The newest run undone, looked at (a dry run) or dropped.
NewestUndo actOnNewest(const RunHistory& history, const std::string& legacyJournal, Action action)
{
    NewestUndo undo;
    const bool changes = action != Action::DryRun;
    if (!fs::isFolder(history.folder()))
        return fromLegacy(legacyJournal, action);
    if (const StateFolder own = ensurePrivateFolder(history.folder()); !own.ok()) {
        undo.status = NewestUndo::Status::Unavailable;
        undo.error = own.error; // another user's folder is never read
        return undo;
    }
    const auto lock = history.lock();
    if (!lock) {
        undo.status = NewestUndo::Status::Unavailable;
        undo.error = "the rename journal " + history.folder() + " cannot be locked";
        return undo;
    }
    const auto files = history.files();
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (runInProgress(file->path)) {
            undo.status = NewestUndo::Status::InProgress;
            return undo;
        }
        const auto text = fs::readWholeFile(file->path);
        if (!text) {
            undo.status = NewestUndo::Status::Unavailable;
            undo.error = "the rename journal " + file->path + " cannot be read";
            return undo;
        }
        ParsedRun parsed = parseRun(*text);
        if (parsed.state == ParsedRun::State::Unfinished) {
            if (changes)
                ::unlink(file->path.c_str()); // its run never began
            continue;
        }
        if (parsed.state == ParsedRun::State::Damaged) {
            if (changes)
                setAside(file->path);
            undo.status = NewestUndo::Status::Damaged;
            undo.error = "the rename journal " + file->path + " is unreadable or damaged";
            return undo;
        }
        RunRecord& record = parsed.record;
        undo.status = NewestUndo::Status::Undone;
        undo.kind = record.kind;
        undo.origin = record.origin;
        undo.folder = record.folder;
        undo.time = record.time;
        UndoMoves request;
        for (const std::uint32_t step : stepsMade(record, parsed.progress))
            request.moves.push_back(std::move(record.moves[step]));
        if (action == Action::Drop) {
            // Forgotten on request, what was left of it with it, so the
            // runs before it can be undone.
            undo.status = NewestUndo::Status::Dropped;
            undo.result.remaining = std::move(request.moves);
            if (::unlink(file->path.c_str()) != 0) {
                undo.status = NewestUndo::Status::Unavailable;
                undo.error = "the rename journal " + file->path + " cannot be removed";
            }
            return undo;
        }
        request.recognition = record.recognition();
        request.madeFolders = record.madeFolders;
        request.emptiedFolders = record.emptiedFolders;
        request.makeFolders = record.kind == RunKind::Moves;
        request.dryRun = action == Action::DryRun;
        MovesUndone playlistRefusals;
        PlaylistUndo playlists = planPlaylistUndo(parsed.playlists, request.moves, playlistRefusals);
        undo.result = undoMoves(request);
        undo.result.notUndone += playlistRefusals.notUndone;
        undo.result.leftAlone.insert(
            undo.result.leftAlone.end(), playlistRefusals.leftAlone.begin(), playlistRefusals.leftAlone.end());
        restorePlaylists(playlists, undo.result, request.madeFolders, request.dryRun);
        undo.playlistsRestored = std::move(playlists.restored);
        undo.playlistInodes = std::move(playlists.newInodes);
        if (changes) {
            recordUndone(history, record, undo.result.back);
            keepRemaining(file->path, std::move(record), undo.result.remaining, playlists.kept);
        }
        return undo;
    }
    return fromLegacy(legacyJournal, action);
}

} // namespace

NewestUndo undoNewestRun(const RunHistory& history, const std::string& legacyJournal, bool dryRun)
{
    NewestUndo undo = actOnNewest(history, legacyJournal, dryRun ? Action::DryRun : Action::Undo);
    noteRewritten(history, undo.playlistInodes);
    return undo;
}

NewestUndo dropNewestRun(const RunHistory& history, const std::string& legacyJournal)
{
    return actOnNewest(history, legacyJournal, Action::Drop);
}

} // namespace zentrio
