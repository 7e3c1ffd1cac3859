#pragma once

#include "tags/journal/filetrail.h"
#include "tags/journal/tagjournalformat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Choosing a kept change of the tag journal by its id, and whether newer
// changes touched its files since: undo takes a change back only where no
// newer one wrote the same file, or it would undo that one's tags too.
namespace zentrio::tagjournal {

// The index in `commands` of the change whose id begins with `id` (any
// case); nullopt when none does, or more than one does (`ambiguous`).
std::optional<std::size_t> findChange(
    const Scan& scan, const std::vector<std::size_t>& commands, const std::string& id, bool& ambiguous);

// The files a change wrote (those it did not write left out), where the
// runs recorded since moved them.
std::vector<std::string> writtenFilesNow(
    int fd, const Scan& scan, std::size_t commandBlock, const FileTrail* trail);

// The ids of the changes newer than commands[index] that wrote one of its files.
std::vector<std::string> newerChangesOfItsFiles(
    int fd, const Scan& scan, const std::vector<std::size_t>& commands, std::size_t index, const FileTrail* trail);

// Takes the bytes [from, to) out of the journal: by a new journal renamed
// over it when they are not its tail. False leaves it as it was.
bool cutOut(const std::string& path, int fd, std::int64_t from, std::int64_t to, std::int64_t length);

} // namespace zentrio::tagjournal
