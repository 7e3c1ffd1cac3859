#include "rename/history/undo.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/setaside.h"
#include "platform/fs/statedir.h"
#include "rename/history/cutmoves.h"
#include "rename/playlists/playlistundo.h"
#include "rename/history/runreach.h"
#include "rename/history/runtrace.h"
#include "rename/history/undopick.h"

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

// A run's record removed, with its folder synced: after a power cut the
// record of a run undone in full must not come back to offer the undo again.
bool removeRecord(const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        return false;
    fs::syncFolder(parentOf(path));
    return true;
}

// What is left of a run after its undo: its file keeps only that.
void keepRemaining(const std::string& path, RunRecord record, std::vector<Move> remaining,
    const std::vector<PlaylistRewrite>& playlists = {})
{
    if (remaining.empty() && playlists.empty()) {
        removeRecord(path);
        return;
    }
    record.moves = std::move(remaining);
    record.batch = record.moves.size();
    fs::replaceFileAtomically(path,
        formatRecord(record) + formatEnd(record.moves.size(), RunEnd::Completed) + formatPlaylistLines(playlists));
}

} // namespace

namespace {

using Action = UndoRequest::Action;

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

NewestUndo failed(NewestUndo::Status status, std::string error)
{
    NewestUndo undo;
    undo.status = status;
    undo.error = std::move(error);
    return undo;
}

// The moves of a run that were made, as far as its record tells: with a
// move lost, or a mark lost after the last whole one, the moves past the
// marks are not looked for on the disk but said as not known.
std::vector<Move> movesMade(ParsedRun& parsed, std::vector<Move>& unknown)
{
    RunRecord& record = parsed.record;
    const RecordDamage& damage = parsed.damage;
    RunProgress progress = parsed.progress;
    const std::size_t begun = damage.marksLost ? record.moves.size() : progress.begunMoves(record);
    const bool lostPastMarks = std::any_of(damage.lostMoves.begin(), damage.lostMoves.end(),
        [&](std::size_t step) { return step >= progress.done && step < begun; });
    const bool byMarksOnly = damage.marksLost || (!progress.end && lostPastMarks);
    if (byMarksOnly)
        progress.end = RunEnd::Interrupted; // the marks alone say what was made
    std::vector<bool> made(record.moves.size(), false);
    for (const std::uint32_t step : stepsMade(record, progress))
        made[step] = true;
    std::vector<Move> moves;
    for (std::size_t step = 0; step < record.moves.size(); ++step) {
        if (damage.lost(step))
            continue;
        if (made[step])
            moves.push_back(std::move(record.moves[step]));
        else if (byMarksOnly && step >= progress.done && step < begun)
            unknown.push_back(std::move(record.moves[step]));
    }
    return moves;
}

// The run of `file` undone, looked at or dropped; `newer` are the files of
// the runs after it.
NewestUndo actOnRun(const RunHistory& history, const RunFile& file, ParsedRun parsed, const std::string& text,
    const std::vector<RunFile>& newer, Action action)
{
    NewestUndo undo;
    const bool changes = action != Action::DryRun;
    RunRecord& record = parsed.record;
    undo.status = NewestUndo::Status::Undone;
    undo.id = file.number;
    undo.kind = record.kind;
    undo.origin = record.origin;
    undo.folder = record.folder;
    undo.time = record.time;
    undo.damage = parsed.damage;
    UndoMoves request;
    request.moves = movesMade(parsed, undo.unknown);
    if (const auto touch = newerRunTouching(record, request.moves, newer)) {
        undo.status = NewestUndo::Status::Blocked;
        undo.blockedBy = touch->run;
        undo.error = "run " + std::to_string(touch->run) + ", newer, touched it: " + touch->reason + "; undo run "
            + std::to_string(touch->run) + " first";
        return undo;
    }
    if (action == Action::Drop) {
        // Forgotten on request, what was left of it with it, so the
        // runs before it can be undone.
        undo.status = NewestUndo::Status::Dropped;
        undo.result.remaining = std::move(request.moves);
        if (!removeRecord(file.path))
            return failed(NewestUndo::Status::Unavailable, "the rename journal " + file.path + " cannot be removed");
        return undo;
    }
    request.recognition = record.recognition();
    request.madeFolders = record.madeFolders;
    request.emptiedFolders = record.emptiedFolders;
    request.makeFolders = record.kind == RunKind::Moves;
    request.dryRun = !changes;
    if (changes && parsed.damage.any()) {
        // A damaged record is kept beside the runs as it was, before its
        // file holds only what is left of it; without that copy nothing is
        // undone, as the undo would rewrite or delete the only one.
        undo.keptAside = fs::keepDamagedCopy(file.path, text);
        if (undo.keptAside.empty())
            return failed(NewestUndo::Status::Unavailable,
                "the damaged record of run " + std::to_string(file.number) + " cannot be kept aside in "
                    + history.folder() + "; nothing was undone");
    }
    MovesUndone playlistRefusals;
    PlaylistUndo playlists = planPlaylistUndo(parsed.playlists, request.moves, playlistRefusals);
    // Cut between the syncs of a move back, a file is under both names; the
    // marker tells the start-up repair to keep the old one.
    const std::string marker
        = changes && crossesFolders(request.moves) ? leaveUndoMarker(history, file.number) : std::string();
    if (request.dryRun)
        request.leaveAfter = leavingAfterMoves(playlists);
    undo.result = undoMoves(request);
    undo.result.notUndone += playlistRefusals.notUndone;
    undo.result.leftAlone.insert(
        undo.result.leftAlone.end(), playlistRefusals.leftAlone.begin(), playlistRefusals.leftAlone.end());
    restorePlaylists(playlists, undo.result, request.madeFolders, request.dryRun);
    undo.playlistsRestored = std::move(playlists.restored);
    undo.playlistInodes = std::move(playlists.newInodes);
    if (changes) {
        recordUndone(history, record, undo.result.back);
        if (!marker.empty())
            ::unlink(marker.c_str()); // synced with the record as left
        keepRemaining(file.path, std::move(record), undo.result.remaining, playlists.kept);
    }
    return undo;
}

// The run undone, looked at (a dry run) or dropped: the newest, or the
// one numbered `request.run` when no newer run touched what it did.
NewestUndo actOn(const RunHistory& history, const std::string& legacyJournal, const UndoRequest& request)
{
    const Action action = request.action;
    const bool changes = action != Action::DryRun;
    if (!fs::isFolder(history.folder()))
        return request.run ? failed(NewestUndo::Status::NoSuchRun, "no runs are kept") : fromLegacy(legacyJournal, action);
    if (const StateFolder own = ensurePrivateFolder(history.folder()); !own.ok())
        return failed(NewestUndo::Status::Unavailable, own.error); // another user's folder is never read
    const auto lock = history.lock();
    if (!lock)
        return failed(NewestUndo::Status::Unavailable, "the rename journal " + history.folder() + " cannot be locked");
    const auto files = history.files();
    std::vector<RunFile> newer; // newest first
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (request.run && file->number > *request.run) {
            newer.push_back(*file);
            continue;
        }
        if (request.run && file->number < *request.run)
            break;
        if (runInProgress(file->path)) {
            NewestUndo undo;
            undo.status = NewestUndo::Status::InProgress;
            undo.id = file->number;
            return undo;
        }
        const auto text = fs::readWholeFile(file->path);
        if (!text)
            return failed(NewestUndo::Status::Unavailable, "the rename journal " + file->path + " cannot be read");
        ParsedRun parsed = parseRun(*text);
        if (parsed.state == ParsedRun::State::Unfinished) {
            if (request.run)
                return failed(NewestUndo::Status::NoSuchRun, "run " + std::to_string(file->number) + " never began");
            if (changes)
                ::unlink(file->path.c_str()); // its run never began
            continue;
        }
        if (parsed.state == ParsedRun::State::Damaged && !parsed.salvaged) {
            if (changes)
                fs::setAsideDamaged(file->path); // beside the other runs but not among them
            NewestUndo undo = failed(
                NewestUndo::Status::Damaged, "the rename journal " + file->path + " is unreadable or damaged");
            undo.id = file->number;
            undo.damage = parsed.damage;
            return undo;
        }
        if (action == Action::Drop && request.run && !newer.empty()) {
            NewestUndo undo = failed(NewestUndo::Status::Blocked,
                "only the newest run, " + std::to_string(newer.front().number) + ", can be dropped");
            undo.blockedBy = newer.front().number;
            return undo;
        }
        return actOnRun(history, *file, std::move(parsed), *text, newer, action);
    }
    if (request.run)
        return failed(NewestUndo::Status::NoSuchRun, "no run " + std::to_string(*request.run) + " is kept");
    return fromLegacy(legacyJournal, action);
}

} // namespace

NewestUndo undoRun(const RunHistory& history, const std::string& legacyJournal, const UndoRequest& request)
{
    NewestUndo undo = actOn(history, legacyJournal, request);
    noteRewritten(history, undo.playlistInodes);
    return undo;
}

NewestUndo undoNewestRun(const RunHistory& history, const std::string& legacyJournal, bool dryRun)
{
    return undoRun(history, legacyJournal, { std::nullopt, dryRun ? Action::DryRun : Action::Undo });
}

NewestUndo dropNewestRun(const RunHistory& history, const std::string& legacyJournal)
{
    return actOn(history, legacyJournal, { std::nullopt, Action::Drop });
}

} // namespace zentrio
