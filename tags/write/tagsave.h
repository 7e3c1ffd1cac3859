#pragma once

#include "tags/write/id3v1record.h"
#include "tags/write/tagfilewrite.h"
#include "tags/write/taglayout.h"
#include "tags/read/tagsource.h"

#include <string>

namespace zentrio {

class TagJournal;

// "save tag": writes a fresh record into the file: in place over a record
// that sits in the file's last 128 bytes, otherwise appended, so audio is
// never overwritten. A file that cannot be read or written is left as it
// was. With TagSource::Id3v2First the file's ID3v2 tag takes the three texts
// too (an empty one removes its frame; every other frame keeps its bytes):
// in place when it fits in the old tag's room (its old bytes copied to
// tagCopyFolder() first), otherwise in a new file written beside the old one
// and renamed over it. With a journal, the old tags are recorded first (a
// journal that cannot be written does not stop the save: `journalError`
// says why), and a save that fails leaves no command behind.
bool saveTag(const std::string& path, const TagEdit& edit, int year, TagSource source = TagSource::Id3v1,
    const TagJournal* journal = nullptr, std::string* journalError = nullptr);

} // namespace zentrio
