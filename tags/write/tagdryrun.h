#pragma once

#include "tags/write/tagfilewrite.h"
#include "tags/write/tagwrite.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What a tag batch would do to each of its files, told before anything is
// written: the writer plans every file by the same rule, and the command
// line's dry run is this plan printed.
namespace zentrio {

// A file's new tags under the batch's rule, and the writes that give them.
struct FileWritePlan {
    TagRewrite rewrite;
    PlannedWrite write;
};

// The plan for one file from one reading of it; nullopt when its tag cannot
// be rewritten safely (the layout's regionFits tells whether it claims more
// bytes than the file holds).
std::optional<FileWritePlan> planFileWrite(const TagBatch& batch, const TagValues& values, const TagLayout& layout);

// The files a batch has reached, by inode where inodes stay with a file and
// by path elsewhere: a file reached a second time (a link and its target,
// two hard links) is written once, by its first path.
class ReachedFiles {
public:
    bool firstReach(const fs::Expectation& file, const std::string& path);

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_files;
    std::set<std::string> m_paths;
};

// One field the write changes, as the file shows it before and after
// (track and disc as "number/total").
struct FieldChange {
    TagField field;
    QString from;
    QString to;
};

struct PlannedTagWrite {
    enum class State {
        Changes,
        Unchanged, // it holds the new tags already
        NoMatch, // it gets no values
        Unreadable, // it cannot be read, or its tag cannot be rewritten
        TagPastEnd, // its ID3v2 tag claims more bytes than the file holds
        SameFile, // it changes, but another path before it reaches the same file
        NotTaken, // the batch's filter leaves it out by the fields it has now
        NotWritable, // a file of another format than MP3 that was read, but whose metadata this program does not
                     // write safely: a layout it does not follow, or a write that would change a field not named
    } state = State::Changes;
    std::vector<FieldChange> changes; // Changes: in the order of TagField
    TagValues values; // the values it gets
    std::shared_ptr<const KeptWrite> kept = {}; // Changes: its write, when the plan was asked to keep it
};

// The values the file at an index gets; nullopt: the batch leaves it alone.
using ValuesFor = std::function<std::optional<TagValues>(std::size_t file)>;

// Whether the file at an index is taken, by the fields it shows now (by the
// batch's source; nullptr: it cannot be read); asked before its values, on
// the read pool's threads.
using TakenFor = std::function<bool(std::size_t file, const TagFields* now)>;

// Plans the batch's rule (batch.files is not used) for each path, read once
// on the read pool a few thousand at a time; batch.keepGoing is asked after
// each of these with the count read, and false gives nullopt. A file that
// cannot be read is Unreadable whatever its values; one `taken` refuses is
// NotTaken (no `taken`: every file is taken). The writes of files that
// change are kept (PlannedTagWrite::kept) while they hold no more than
// `keepBytes` in all, so that writing the batch need not read them again.
std::optional<std::vector<PlannedTagWrite>> planTagWrites(const TagBatch& batch,
    const std::vector<std::string>& paths, const ValuesFor& valuesFor, const TakenFor& taken = {},
    std::size_t keepBytes = 0);

} // namespace zentrio
