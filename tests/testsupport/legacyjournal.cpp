#include "testsupport/legacyjournal.h"

#include "platform/fs/fsops.h"
#include "platform/fs/setaside.h"

namespace testsupport {

using namespace zentrio;

namespace {

    constexpr std::int64_t kCompactBytes = 4 * 1024 * 1024;

    // True when the journal is small enough to grow, begins with its header
    // and ends with a whole record (an append cut short by a crash does not).
    bool endsWhole(const std::string& path)
    {
        const fs::FileReader file(path);
        if (!file.isOpen() || file.length() >= kCompactBytes)
            return false;
        const std::string header = formatJournal({});
        const auto head = file.readAt(0, header.size());
        const auto tail = file.readAt(file.length() - 4, 4);
        return head && *head == header && tail && (*tail == "end\n" || file.length() == std::int64_t(header.size()));
    }

} // namespace

bool addLegacyRecord(const RenameJournal& journal, const JournalRecord& record)
{
    if (endsWhole(journal.path()))
        return fs::appendAndSync(journal.path(), formatRecord(record));
    RenameJournal::Contents contents = journal.load();
    if (contents.state == RenameJournal::State::Damaged && !fs::setAsideDamaged(journal.path()))
        return false; // the whole records it held are written again below
    contents.records.push_back(record);
    if (contents.records.size() > kJournalRecords)
        contents.records.erase(contents.records.begin(), contents.records.end() - std::ptrdiff_t(kJournalRecords));
    return journal.write(contents.records);
}

} // namespace testsupport
