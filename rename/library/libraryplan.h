#pragma once

#include "rename/naming/compose.h"
#include "rename/history/journalrecord.h"
#include "rename/moves/pathplan.h"
#include "rename/moves/targetfs.h"
#include "tags/query/querymatch.h"
#include "tags/read/treewalk.h"
#include "tags/read/tagsource.h"

#include <functional>
#include <string>
#include <vector>

// A whole library renamed by one pattern: the tree walked, every file's tag
// read, its new path composed (numbers and widths decided per folder, as
// the window decides them per run), a folder's album companions (pictures,
// cue sheets, logs, playlists) sent along when all its MP3 files go to one
// new folder, and the whole run checked and ordered before anything moves.
namespace zentrio {

// What a run does with the files the whole-run check finds in conflict:
// refuse the whole run, leave those files where they are (the rest goes
// through), or number the later files to one name (" (2)", " (3)"...).
// A file that is not in the run is never replaced, whatever the policy.
enum class ConflictPolicy { Stop, Skip, Number };

struct LibraryRequest {
    std::vector<std::string> paths; // absolute: audio files and folders
    bool recursive = false;
    AudioFormats formats = AudioFormats::only(AudioFormat::Mp3); // the audio files named
    TagSource source = TagSource::Id3v2First;
    NameOptions options; // Pattern::Own, with its pattern, separator and passes
    std::string to; // absolute; empty: each file's own folder
    FsChoice fsChoice = FsChoice::Auto;
    ConflictPolicy conflicts = ConflictPolicy::Stop;
    // Only the files that match are named, numbered and checked; nullptr: every one.
    std::shared_ptr<const Query> query;
    // A plan that is only shown: its check takes the folders as the walk
    // listed them, and its moves are put in order only when a playlist may
    // follow them (see LibraryPlan::ordered).
    bool shownOnly = false;
};

enum class FileStatus {
    Renamed, // a new name in its own folder
    Moved, // a new folder
    Unchanged,
    Skipped, // no tag, a field the pattern needs is empty, a symbolic link, or (policy Skip) a conflict
    Conflict, // the run cannot be made as planned: nothing is done
    Failed, // cannot be read, or (after a run) not done
};

struct PlannedFile {
    std::string from;
    std::string to; // empty when the file has no new path
    fs::FileIdentity identity;
    std::size_t argument = 0; // which path it was reached from
    bool carried = false; // an album companion: goes along with its folder's MP3 files, or stays (Skipped)
    FileStatus status = FileStatus::Unchanged;
    std::string reason;
    std::string named; // when `to` was given a number: the target as composed, which later numbers start from
    bool moves() const { return status == FileStatus::Renamed || status == FileStatus::Moved; }
};

struct LibraryPlan {
    std::vector<std::string> roots; // the folders named (a file named: its folder), by argument
    std::string to; // the --to folder, or empty
    FsChoice fsChoice = FsChoice::Auto;
    ConflictPolicy policy = ConflictPolicy::Stop;
    std::vector<PlannedFile> files; // in path order; a folder's companions after its MP3 files
    std::vector<WalkFailure> failures; // folders that could not be listed
    std::vector<EmptiedFolder> emptied; // folders the run may empty, deepest first
    OrderedMoves order;
    Recognition recognition; // by size and time on the devices whose inode numbers do not last
    std::optional<QueryTally> queried; // made for a query: the files it matched
    // True when every folder the run's files lie in was listed while the
    // plan was made and held no playlist then, and no file of the run is
    // one: no playlist can follow the run, and a dry run need not list the
    // folders again to say so.
    bool listedWithoutPlaylists = false;
    // False for a plan only shown that no playlist follows: it is checked
    // whole, but order.steps stays empty.
    bool ordered = true;
    bool hasConflicts() const { return !order.conflicts.empty(); }
    // The journal's record of this run, but for its moves (they are written
    // from order.steps) and its batch, which the run that performs it sets.
    RunRecord record(std::int64_t time) const;
};

// `progress` is told the files read of the total; false stops the reading
// (the plan is then incomplete and must not be run).
LibraryPlan planLibraryRename(
    const LibraryRequest& request, const std::function<bool(std::size_t read, std::size_t total)>& progress = {});

// True for a file name a folder's MP3 files take along: pictures, cue
// sheets, rip logs, .nfo notes and playlists.
bool isAlbumCompanion(std::string_view name);

// Why no file below `root` may be moved by a run made for it ("/": the
// whole disk), or empty.
std::string faultOfRoot(const std::string& root);

// The folders a run may empty worked out from its moves, and the whole run
// checked and ordered, by the plan's conflict policy. `refused`: some moves
// were marked Conflict before, for a rule they break; then nothing may be
// done either, whatever the policy.
// `listed`: folders as they were listed while the plan was made.
void checkWholeRun(LibraryPlan& plan, bool refused = false, DiskNames listed = {});

// True when `path` lies below `folder` (not at it).
bool isBelow(const std::string& path, const std::string& folder);

} // namespace zentrio
