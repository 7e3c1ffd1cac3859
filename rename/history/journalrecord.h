#pragma once

#include "rename/moves/pathplan.h"
#include "rename/playlists/playlistrecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One run's record in the rename journal, as text: a header saying what
// kind of run it is and how its files are recognised, the folders it makes
// and may empty, every move in the order the run makes them (with the
// file's identity: device, inode, size, birth and modification time), and
// "begin". That much is written once and
// synced before the first rename. Marks follow as the run goes ("done K":
// the first K moves are finished), each synced, and when it stops "also J"
// for each move J made past the first K (a run that makes moves at once)
// and "end K OUTCOME". Paths are written byte for byte, with "%XX" for blanks, control
// bytes and "%", so any name fits on one line.
namespace zentrio {

enum class RunKind {
    Folder, // renames in one folder: the window's "selected" and "OK to rename"
    Moves, // moves across folders, with folders made and emptied ones removed
};
enum class RunOrigin { Window, CommandLine };
enum class RunEnd { Completed, Failed, Interrupted };

// How a run's files are known again: by inode number (and birth time) on
// most file systems; by size and modification time where inode numbers do
// not stay with a file (FAT, exFAT, NTFS, FUSE), on every device when
// `inodesIdentify` is false, else on the devices listed.
struct Recognition {
    bool inodesIdentify = true;
    std::vector<std::uint64_t> nameOnlyDevices;
    // Also the size and modification time recorded, on every device: for
    // files moved as copies of another, which a write since makes no copy.
    // Never kept in a record (undo finds files as a rename run does).
    bool unchangedContents = false;
    bool byInode(std::uint64_t device) const;
    // True when `found` is the file `recorded` was taken of.
    bool recognises(const fs::FileIdentity& recorded, const fs::FileIdentity& found) const;
};

struct EmptiedFolder {
    std::string path;
    unsigned mode = 0755; // its permissions, to make it again as it was
};

struct RunRecord {
    RunKind kind = RunKind::Folder;
    RunOrigin origin = RunOrigin::Window;
    std::int64_t time = 0; // seconds since the epoch
    bool inodesIdentify = true; // false: files are recognised by name, size and time
    std::vector<std::uint64_t> nameOnlyDevices; // devices whose files are recognised so
    std::string folder; // a Folder run's folder
    // How many moves past the last mark may have begun: moves after those
    // never began, so undo does not look for them.
    std::size_t batch = 0;
    std::vector<std::string> madeFolders; // parents first
    std::vector<EmptiedFolder> emptiedFolders; // removed at the end when empty, deepest first
    std::vector<Move> moves;
    Recognition recognition() const { return { inodesIdentify, nameOnlyDevices }; }
};

// How far a run got, from its marks.
struct RunProgress {
    std::size_t done = 0; // the first `done` moves are finished
    std::vector<std::size_t> alsoDone; // moves past `done` that were finished too (a concurrent run's end says them)
    std::optional<RunEnd> end;
    // The moves that may have been made: all of them up to the end, or the
    // marked ones and the batch after them.
    std::size_t begunMoves(const RunRecord& record) const;
};

// Writes the record up to and including "begin", in pieces of bounded size;
// the moves from `moves` instead of the record's own, so a long run's moves
// are written from where they lie, not copied first.
void writeRecord(const RunRecord& record, const std::function<bool(std::string_view)>& sink);
void writeRecord(
    const RunRecord& record, std::span<const Move> moves, const std::function<bool(std::string_view)>& sink);
std::string formatRecord(const RunRecord& record);
std::string formatMark(std::size_t done);
std::string formatAlso(std::size_t step); // "also K": move K is made too (before the end of a run made at once)
std::string formatEnd(std::size_t done, RunEnd end);

// What a record's damaged lines cost. A line that does not read loses its
// own folder or move, the others keep their places: they are counted from
// the head of the record, and from its "begin" back when lines were lost or
// split. A mark that does not read after the last whole "done" may have
// said moves that were made: the moves past the marks are then not known.
struct RecordDamage {
    std::vector<std::size_t> lines; // the lines (counted from 1) that do not read
    std::vector<std::size_t> lostMoves; // moves whose line is lost (left in `moves` with empty paths)
    std::size_t lostMade = 0; // folders the run made, not known: not removed
    std::size_t lostEmptied = 0; // folders it emptied, not known: made again only as a file's folder
    bool marksLost = false;
    bool any() const { return !lines.empty() || !lostMoves.empty() || lostMade + lostEmptied > 0 || marksLost; }
    bool lost(std::size_t step) const;
};

struct ParsedRun {
    enum class State {
        Begun, // the record is whole: its run began
        Unfinished, // cut short before "begin": its run never began
        Damaged, // something in the record does not parse
    } state
        = State::Damaged;
    RunRecord record;
    RunProgress progress;
    std::vector<PlaylistRewrite> playlists; // the playlists the run rewrote, in its order
    RecordDamage damage;
    // Damaged, but its head and its "begin" read: the record holds what is
    // left of it, and `damage` says what is lost.
    bool salvaged = false;
};
// A torn last line is ignored. A record whose own lines are damaged is
// Damaged (salvaged where its head reads); one whose marks alone are is
// Begun, with the marks that do not read in `damage`. A "playlist" line
// that does not parse is skipped (its playlist is then left alone).
ParsedRun parseRun(std::string_view text);

// What `undo --list` shows of a run, read from the head of its record and
// its last bytes only.
struct RunSummary {
    RunKind kind = RunKind::Folder;
    RunOrigin origin = RunOrigin::Window;
    std::int64_t time = 0;
    std::string folder; // a Folder run's folder
    std::size_t moves = 0;
    std::size_t madeFolders = 0;
    std::size_t emptiedFolders = 0;
    RunProgress progress;
};
std::optional<RunSummary> parseSummary(std::string_view head, std::string_view tail);

std::string escapePath(std::string_view bytes);
std::optional<std::string> unescapePath(std::string_view text);

} // namespace zentrio
