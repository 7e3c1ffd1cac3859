#include "tags/write/tagsave.h"

#include "tags/write/tagwrite.h"

namespace zentrio {

bool saveTag(const std::string& path, const TagEdit& edit, int year, TagSource source, const TagJournal* journal,
    std::string* journalError)
{
    const TagValues values { { TagField::Song, edit.song }, { TagField::Artist, edit.artist },
        { TagField::Album, edit.album } };
    const TagBatchResult result
        = writeTags({ { { path, values } }, source, RecordRule::Whole, year }, journal, JournalUse::BestEffort);
    if (journalError)
        *journalError = result.journalError;
    return result.written + result.unchanged == 1;
}

} // namespace zentrio
