#pragma once

#include "rename/journal.h"

#include <optional>

namespace zentrio {

struct UndoOutcome {
    int renamedBack = 0;
    int notUndone = 0; // files renamed, replaced or deleted since, or whose old name is taken
    std::optional<JournalRecord> remaining; // what may still be undone later
};

// Renames the record's files back, newest rename first, never over another
// file. A file counts as the one the record renamed when it is found under
// the new name with the recorded identity; one found under its old name was
// never renamed (the run stopped before it) and needs nothing. Files whose
// old name is taken stay in the remaining record, to try again later.
UndoOutcome undoRecord(const JournalRecord& record);

} // namespace zentrio
