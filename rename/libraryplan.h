#pragma once

#include "rename/compose.h"
#include "rename/journalrecord.h"
#include "rename/pathplan.h"
#include "rename/targetfs.h"
#include "rename/treewalk.h"
#include "tags/tagsource.h"

#include <functional>
#include <string>
#include <vector>

// A whole library renamed by one pattern: the tree walked, every file's tag
// read, its new path composed (numbers and widths decided per folder, as
// the window decides them per run), the other files of a folder sent along
// when all its MP3 files go to one new folder, and the whole run checked
// and ordered before anything moves.
namespace zentrio {

struct LibraryRequest {
    std::vector<std::string> paths; // absolute: MP3 files and folders
    bool recursive = false;
    TagSource source = TagSource::Id3v2First;
    NameOptions options; // Pattern::Own, with its pattern, separator and passes
    std::string to; // absolute; empty: each file's own folder
    FsChoice fsChoice = FsChoice::Auto;
};

enum class FileStatus {
    Renamed, // a new name in its own folder
    Moved, // a new folder
    Unchanged,
    Skipped, // no tag, a field the pattern needs is empty, or a symbolic link
    Conflict, // the run cannot be made as planned: nothing is done
    Failed, // cannot be read, or (after a run) not done
};

struct PlannedFile {
    std::string from;
    std::string to; // empty when the file has no new path
    fs::FileIdentity identity;
    std::size_t argument = 0; // which path it was reached from
    bool carried = false; // not an MP3 file: goes along with its folder's MP3 files
    FileStatus status = FileStatus::Unchanged;
    std::string reason;
    bool moves() const { return status == FileStatus::Renamed || status == FileStatus::Moved; }
};

struct LibraryPlan {
    std::vector<PlannedFile> files; // in path order; a folder's other files after its MP3 files
    std::vector<WalkFailure> failures; // folders that could not be listed
    std::vector<EmptiedFolder> emptied; // folders the run may empty, deepest first
    OrderedMoves order;
    bool inodesIdentify = true;
    bool hasConflicts() const { return !order.conflicts.empty(); }
    // The journal's record of this run.
    RunRecord record(std::int64_t time) const;
};

// `progress` is told the files read of the total; false stops the reading
// (the plan is then incomplete and must not be run).
LibraryPlan planLibraryRename(
    const LibraryRequest& request, const std::function<bool(std::size_t read, std::size_t total)>& progress = {});

// A plan made earlier, checked again against the disk: every file must still
// be the one the plan saw (identity, size, modification time; else it is a
// conflict), and the whole run is checked and ordered anew.
LibraryPlan replanSavedMoves(std::vector<PlannedFile> files, std::vector<EmptiedFolder> emptied);

} // namespace zentrio
