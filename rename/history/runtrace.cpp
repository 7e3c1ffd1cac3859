#include "rename/history/runtrace.h"

#include "rename/history/journal.h"
#include "rename/history/runreach.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zentrio {

namespace {

constexpr std::string_view kUndonePrefix = "undone-";

// A run of the history, with the steps it made, in their recorded order;
// or the moves an undo took back, as they went back.
struct MadeRun {
    std::string file;
    ParsedRun parsed;
    std::vector<std::uint32_t> made;
    bool undone = false;
    std::int64_t runTime = 0; // moves undone: when the run that made them was recorded
    std::int64_t written = 0; // the file's modification time: the order of a run and an undo of one second
};

// The files of the moves undone ("undone-NUMBER-RUNTIME"), oldest first.
struct UndoneFile {
    RunFile file;
    std::int64_t runTime = 0;
};
std::vector<UndoneFile> undoneFiles(const RunHistory& history)
{
    std::vector<UndoneFile> files;
    fs::forEachEntry(history.folder(), [&](int, const dirent& e) {
        const std::string_view name = e.d_name;
        if (!name.starts_with(kUndonePrefix))
            return;
        std::uint64_t numbers[2] = { 0, 0 };
        std::size_t at = 0;
        for (const char c : name.substr(kUndonePrefix.size())) {
            if (c == '-' && at == 0)
                ++at;
            else if (c < '0' || c > '9')
                return;
            else
                numbers[at] = numbers[at] * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (at == 1)
            files.push_back(
                { { history.folder() + "/" + std::string(name), numbers[0] }, static_cast<std::int64_t>(numbers[1]) });
    });
    std::sort(files.begin(), files.end(),
        [](const UndoneFile& a, const UndoneFile& b) { return a.file.number < b.file.number; });
    return files;
}

std::int64_t modifiedTime(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// True when a run's text has a move to one of `paths`: looked at line by
// line before the whole record is parsed.
bool movesInto(std::string_view text, const std::unordered_map<std::string, fs::FileIdentity>& paths)
{
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.starts_with("move "))
            continue;
        const std::size_t to = line.find(' ', 5);
        const std::size_t toEnd = to == std::string_view::npos ? to : line.find(' ', to + 1);
        if (toEnd == std::string_view::npos)
            continue;
        if (const auto path = unescapePath(line.substr(to + 1, toEnd - to - 1)); path && paths.contains(*path))
            return true;
    }
    return false;
}

// A run's file read, when it is ended or cut short, recorded at `since` or
// later, and its text is `wanted`.
std::optional<MadeRun> readRun(
    const RunFile& file, std::int64_t since, bool undone, const std::function<bool(std::string_view)>& wanted = {})
{
    if (runInProgress(file.path))
        return std::nullopt;
    if (const auto summary = since > 0 ? readRunSummary(file.path) : std::nullopt; summary && summary->time < since)
        return std::nullopt; // read from its head only: a long run's moves are not parsed for nothing
    const auto text = fs::readWholeFile(file.path);
    if (!text || (wanted && !wanted(*text)))
        return std::nullopt;
    MadeRun run { file.path, parseRun(*text), {}, undone, modifiedTime(file.path) };
    if (run.parsed.state != ParsedRun::State::Begun || run.parsed.record.time < since)
        return std::nullopt;
    run.made = stepsMade(run.parsed.record, run.parsed.progress);
    return run;
}

std::vector<MadeRun> endedRuns(const RunHistory& history, std::int64_t since)
{
    std::vector<MadeRun> runs;
    for (const RunFile& file : history.files()) {
        if (auto run = readRun(file, since, false))
            runs.push_back(std::move(*run));
    }
    return runs;
}

// Moves undone that bring the file at `at` back from where its run took it:
// those of a run made before the change. A run made since moved the file
// away and its undo brought it back, so both are nothing to it; in the
// change's own second, a run that moved a file away from `at` was that one.
bool undoneMovesApply(const MadeRun& undo, std::int64_t since, const std::string& at)
{
    if (undo.runTime != since)
        return undo.runTime < since;
    const auto& moves = undo.parsed.record.moves;
    return std::none_of(moves.begin(), moves.end(), [&](const Move& move) { return move.to == at; });
}

// The runs and the undos of runs since `since`, in the order they were
// made: each kind in its own order, the two merged by time.
std::vector<MadeRun> movesSince(const RunHistory& history, std::int64_t since)
{
    std::vector<MadeRun> runs = endedRuns(history, since);
    std::vector<MadeRun> undos;
    for (const UndoneFile& file : undoneFiles(history)) {
        if (auto undo = readRun(file.file, since, true)) {
            undo->runTime = file.runTime;
            undos.push_back(std::move(*undo));
        }
    }
    const auto earlier = [](const MadeRun& a, const MadeRun& b) {
        return std::pair(a.parsed.record.time, a.written) < std::pair(b.parsed.record.time, b.written);
    };
    std::vector<MadeRun> merged;
    merged.reserve(runs.size() + undos.size());
    auto run = runs.begin();
    auto undo = undos.begin();
    while (run != runs.end() || undo != undos.end()) {
        const bool takeUndo = run == runs.end() || (undo != undos.end() && earlier(*undo, *run));
        merged.push_back(std::move(takeUndo ? *undo++ : *run++));
    }
    return merged;
}

// A move a run of the change's own second made before the change: the
// file it moved was last written before that second began, while the
// change wrote the file it left.
bool beforeTheChange(const RunRecord& record, const Move& move, std::int64_t since)
{
    return record.time == since && move.identity.modified != 0 && move.identity.modified < since * 1000000000;
}

// One path's way through the runs: each place a move took it, with the
// identity that move recorded.
struct Place {
    std::string path;
    fs::FileIdentity identity;
    Recognition recognition;
};

std::string followed(const std::vector<MadeRun>& runs, std::int64_t since, const std::string& start)
{
    std::vector<Place> way;
    std::string at = start;
    for (const MadeRun& run : runs) {
        const RunRecord& record = run.parsed.record;
        if (run.undone && !undoneMovesApply(run, since, at))
            continue;
        for (const std::uint32_t step : run.made) {
            const Move& move = record.moves[step];
            if (move.from == at && (run.undone || !beforeTheChange(record, move, since))) {
                at = move.to;
                way.push_back({ at, move.identity, record.recognition() });
            }
        }
    }
    // The furthest place that holds the file moved there, known as the undo
    // of that run knows it; where none does, the file was changed or deleted
    // since it last moved, and the last place says so.
    for (auto place = way.rbegin(); place != way.rend(); ++place) {
        const auto found = fs::identityOf(place->path);
        if (found && place->recognition.recognises(place->identity, *found))
            return place->path;
    }
    return way.empty() ? start : way.back().path;
}

std::string recordText(const RunRecord& record, const RunProgress& progress)
{
    std::string text = formatRecord(record);
    for (const std::size_t also : progress.alsoDone)
        text += formatAlso(also);
    return text + formatEnd(progress.done, *progress.end);
}

} // namespace

std::vector<std::string> whereNow(const RunHistory& history, std::int64_t since, const std::vector<std::string>& paths)
{
    const std::vector<MadeRun> runs = movesSince(history, since);
    if (runs.empty())
        return paths;
    std::vector<std::string> now;
    now.reserve(paths.size());
    for (const std::string& path : paths)
        now.push_back(followed(runs, since, path));
    return now;
}

void recordUndone(const RunHistory& history, const RunRecord& run, const std::vector<Move>& movedBack)
{
    if (movedBack.empty())
        return;
    RunRecord undone;
    undone.kind = RunKind::Moves;
    undone.origin = run.origin;
    undone.time = std::time(nullptr);
    undone.inodesIdentify = run.inodesIdentify;
    undone.nameOnlyDevices = run.nameOnlyDevices;
    for (const Move& move : movedBack)
        undone.moves.push_back({ move.to, move.from, move.identity });
    undone.batch = undone.moves.size();
    const std::vector<UndoneFile> kept = undoneFiles(history);
    const std::uint64_t number = kept.empty() ? 1 : kept.back().file.number + 1;
    const std::string path
        = history.folder() + "/" + std::string(kUndonePrefix) + std::to_string(number) + '-' + std::to_string(run.time);
    if (!fs::replaceFileAtomically(path, formatRecord(undone) + formatEnd(undone.moves.size(), RunEnd::Completed)))
        return;
    for (std::size_t i = 0; i + kJournalRecords < kept.size() + 1; ++i)
        ::unlink(kept[i].file.path.c_str());
}

void noteRewritten(const RunHistory& history, const std::vector<RewrittenFile>& files)
{
    if (files.empty())
        return;
    // Where each file lay before the move looked at, newest run first.
    std::unordered_map<std::string, fs::FileIdentity> before;
    std::unordered_map<std::string, fs::FileIdentity> now;
    for (const RewrittenFile& file : files) {
        if (const auto identity = fs::identityOf(file.path)) {
            before.emplace(file.path, file.before);
            now.emplace(file.path, *identity);
        }
    }
    const auto lock = history.lock();
    if (!lock)
        return;
    const std::vector<RunFile> runFiles = history.files();
    for (auto file = runFiles.rbegin(); file != runFiles.rend() && !before.empty(); ++file) {
        auto read = readRun(*file, 0, false, [&](std::string_view text) { return movesInto(text, before); });
        if (!read || !read->parsed.progress.end)
            continue;
        MadeRun& run = *read;
        RunRecord& record = run.parsed.record;
        const Recognition recognition = record.recognition();
        bool changed = false;
        for (auto step = run.made.rbegin(); step != run.made.rend(); ++step) {
            Move& move = record.moves[*step];
            const auto was = before.find(move.to);
            if (was == before.end() || !recognition.recognises(move.identity, was->second))
                continue;
            const fs::FileIdentity previous = was->second;
            const fs::FileIdentity identity = now.at(move.to);
            move.identity = identity;
            changed = true;
            before.erase(was);
            now.erase(move.to);
            before[move.from] = previous; // the run moved it from there
            now[move.from] = identity;
        }
        if (changed)
            fs::replaceFileAtomically(
                run.file, recordText(record, run.parsed.progress) + formatPlaylistLines(run.parsed.playlists));
    }
}

} // namespace zentrio
