#include "rename/folderrun/recordedrun.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <optional>

namespace zentrio {

RecordedRun runRecordedRename(const RunHistory& history, const std::string& folder, const std::vector<RunItem>& items,
    const NameOptions& options, const std::function<void(int renamed)>& afterItem, TagSource source,
    AudioFormats formats)
{
    RecordedRun run;
    std::optional<RunWriter> journal;
    const auto record = [&](const std::vector<PlannedRename>& renames) {
        journal = recordFolderRun(history, folder, renames).writer;
        run.recorded = journal.has_value();
    };
    run.result = runRename(folder, items, options, afterItem, source, record, formats);
    // The new names last through a power cut once the folder is synced.
    if (run.result.movesDone > 0)
        (void)fs::syncFolder(folder);
    // The end names the renames made, which are the first ones recorded:
    // undo looks at no more.
    if (journal)
        journal->finish(run.result.movesDone,
            run.result.outcome == RenameRunResult::Outcome::Completed ? RunEnd::Completed : RunEnd::Failed);
    return run;
}

RecordedRename renameRecorded(
    const RunHistory& history, const std::string& folder, const std::string& from, const std::string& to)
{
    RecordedRename rename;
    const std::string prefix = folderPath(folder);
    std::optional<RunWriter> journal;
    if (const auto identity = fs::identityOf(prefix + from); identity && from != to) {
        journal = recordFolderRun(history, folder, { { from, to, *identity } }).writer;
        rename.recorded = journal.has_value();
    }
    rename.result = fs::renameNoReplace(prefix + from, prefix + to);
    if (rename.result == fs::RenameResult::Renamed && from != to)
        (void)fs::syncFolder(folder);
    if (journal) {
        const bool renamed = rename.result == fs::RenameResult::Renamed;
        journal->finish(renamed ? 1 : 0, renamed ? RunEnd::Completed : RunEnd::Failed);
    }
    return rename;
}

} // namespace zentrio
