#include "rename/history/undolist.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <set>

namespace zentrio {

namespace {

void describe(KeptRun& run, const ParsedRun& parsed)
{
    const RunRecord& record = parsed.record;
    run.kind = record.kind;
    run.origin = record.origin;
    run.time = record.time;
    run.end = parsed.progress.end;
    run.madeFolders = record.madeFolders.size();
    run.emptiedFolders = record.emptiedFolders.size();
    std::set<std::string> folders;
    for (std::size_t step = 0; step < record.moves.size(); ++step) {
        const Move& move = record.moves[step];
        if (parsed.damage.lost(step))
            continue;
        if (!isCycleName(move.from))
            ++run.files;
        folders.insert(parentOf(move.from));
        folders.insert(parentOf(move.to));
    }
    run.folders.assign(folders.begin(), folders.end());
}

} // namespace

std::vector<KeptRun> keptRuns(const RunHistory& history)
{
    std::vector<KeptRun> runs;
    const auto files = history.files();
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        KeptRun run;
        run.id = file->number;
        run.going = runInProgress(file->path);
        const auto text = fs::readWholeFile(file->path);
        const ParsedRun parsed = text ? parseRun(*text) : ParsedRun {};
        if (parsed.state == ParsedRun::State::Unfinished && !run.going)
            continue; // its run never began
        const bool readable = parsed.state == ParsedRun::State::Begun || parsed.salvaged;
        run.damaged = parsed.state == ParsedRun::State::Damaged || parsed.damage.any();
        run.salvaged = run.damaged && readable;
        run.damagedLines = parsed.damage.lines;
        if (readable) {
            describe(run, parsed);
        } else if (const auto summary = readRunSummary(file->path)) {
            run.kind = summary->kind;
            run.origin = summary->origin;
            run.time = summary->time;
        }
        runs.push_back(std::move(run));
    }
    return runs;
}

} // namespace zentrio
