#pragma once

#include "rename/naming/compose.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A folder's names composed in one place, for every road that names a
// folder (the window's run and its preview, the library plan, the listing):
// the own pattern's number widths decided over the folder's tags, each file
// numbered by its place, from 1.
namespace zentrio {

// A folder's files in its order: each one's tag, or nullptr for a file that
// is named by nothing (no tag, or not read). Only these tags decide the
// number widths.
using FolderTags = std::vector<const TagFields*>;

// Makes file `file`'s result from its tag (nullptr as above), the folder's
// options (the run's widths decided) and its number. With chunks it runs on
// several threads at once, each file once.
using ComposeFile
    = std::function<void(std::size_t file, const TagFields* tag, const NameOptions& options, int number)>;

// Calls compose for every file of the folder, in ranges of `perChunk` files
// on one thread per core when there are more than that (0: all on the
// calling thread).
void composeFolder(const FolderTags& tags, const NameOptions& options, const ComposeFile& compose,
    std::size_t perChunk = 0);

// The options for naming the file `name`: its new name ends in the file's
// own extension, lower-cased (".flac", ".mp3" for "a.MP3"). A name that is
// no audio file's keeps the options' extension.
NameOptions forFile(NameOptions options, std::string_view name);

// Each file's new name on disk, its composed name with the character passes;
// empty for a file without a tag or whose own-pattern name comes out empty.
// With `oldNames` (one per tag), each new name keeps its file's own
// extension (forFile); without, every name takes the options' extension.
std::vector<std::string> folderNewNames(
    const FolderTags& tags, const NameOptions& options, const std::vector<std::string>& oldNames = {});

} // namespace zentrio
