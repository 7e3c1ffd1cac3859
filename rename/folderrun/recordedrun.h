#pragma once

#include "rename/folderrun/renamerun.h"
#include "rename/history/journalfolder.h"

#include <string>

// The window's renames in one folder, recorded in the run history so that
// undo can bring the old names back: the record is written before the first
// rename and finished after the last. A record that cannot be written never
// stops a rename: the renames go on as they always did, only without the
// means to undo them.
namespace zentrio {

// What a recorded run did, and whether it could be recorded (false: the
// history was not written, and the run cannot be undone).
struct RecordedRun {
    RenameRunResult result;
    bool recorded = true;
};

// runRename, recorded in `history` when it renames anything.
RecordedRun runRecordedRename(const RunHistory& history, const std::string& folder, const std::vector<RunItem>& items,
    const NameOptions& options, const std::function<void(int renamed)>& afterItem, TagSource source,
    AudioFormats formats = AudioFormats::only(AudioFormat::Mp3));

struct RecordedRename {
    fs::RenameResult result = fs::RenameResult::Failed;
    bool recorded = true;
};

// Renames one file of `folder` from `from` to `to` (names on disk), never
// over another file, recorded in `history` when the names differ and the
// file is there.
RecordedRename renameRecorded(
    const RunHistory& history, const std::string& folder, const std::string& from, const std::string& to);

} // namespace zentrio
