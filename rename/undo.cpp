#include "rename/undo.h"

#include "platform/filenames.h"

namespace zentrio {

namespace {

    bool isTheRecordedFile(const std::string& path, const PlannedRename& rename, bool inodesIdentify)
    {
        const auto found = fs::identityOf(path);
        return found && fs::sameIdentity(rename.identity, *found, inodesIdentify);
    }

} // namespace

UndoOutcome undoRecord(const JournalRecord& record)
{
    UndoOutcome outcome;
    JournalRecord remaining { record.folder, record.inodesIdentify, {} };
    const std::string prefix = folderPath(record.folder);
    for (auto r = record.renames.rbegin(); r != record.renames.rend(); ++r) {
        if (isTheRecordedFile(prefix + r->newName, *r, record.inodesIdentify)) {
            if (fs::renameNoReplace(prefix + r->newName, prefix + r->oldName) == fs::RenameResult::Renamed) {
                ++outcome.renamedBack;
            } else {
                ++outcome.notUndone;
                remaining.renames.insert(remaining.renames.begin(), *r);
            }
        } else if (!isTheRecordedFile(prefix + r->oldName, *r, record.inodesIdentify)) {
            ++outcome.notUndone;
        }
    }
    if (!remaining.renames.empty())
        outcome.remaining = std::move(remaining);
    return outcome;
}

} // namespace zentrio
