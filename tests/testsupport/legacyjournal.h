#pragma once

#include "rename/history/journal.h"

// Writes records in the journal format of earlier versions, which Zentrio
// still reads and repairs but no longer writes: the tests and the bench
// make such journals with it, as an earlier version left them.
namespace testsupport {

// Adds a record as earlier versions did: appended and synced while the
// journal is small and ends whole; otherwise the journal is rewritten with
// its newest kJournalRecords, a damaged one set aside first.
bool addLegacyRecord(const zentrio::RenameJournal& journal, const zentrio::JournalRecord& record);

} // namespace testsupport
