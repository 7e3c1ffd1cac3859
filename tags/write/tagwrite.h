#pragma once

#include "platform/fs/fsops.h"
#include "tags/write/tagchange.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"
#include "tags/read/tagsource.h"
#include "tags/write/tagvalues.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zentrio {

// A file's write as a reading of it before the batch planned it: the file
// itself (links resolved), its writes, what the journal records of it, and
// the file as that reading found it. The batch writes it without reading
// the file again while the file is still so; its expectation is checked
// against the file before the write, as every write's is.
struct KeptWrite {
    std::string path;
    PlannedWrite write;
    TagSnapshot snapshot;
    fs::FileIdentity seen;
};

// Many files' changes: each file's values, written by one rule.
struct TagBatch {
    std::vector<std::pair<std::string, TagValues>> files; // paths as raw bytes
    TagSource source = TagSource::Id3v1;
    RecordRule record = RecordRule::KeepUnnamed;
    int year = 0;
    bool addMissingRecord = true; // see TagChange
    TagOrigin origin = TagOrigin::Window; // for the journal
    RecordFields recordFields = RecordFields::Texts;
    bool wholeNewRecord = true; // see TagChange
    bool keepTime = false; // each file written keeps its modification time
    // When given, one per file: the file as a window showed it. A file
    // renamed or replaced under its name since is not written.
    std::vector<std::optional<fs::FileIdentity>> shown = {};
    // When given, one per file (null: read it again): its write as planned
    // from an earlier reading. Not used with `shown`.
    std::vector<std::shared_ptr<const KeptWrite>> kept = {};
    // Asked after each slice of files with the count done so far; false
    // stops the batch there (the journal holds what was written).
    std::function<bool(std::size_t done)> keepGoing = {};
    // Asked while another command holds the journal; false gives up (nothing written).
    std::function<bool()> keepWaiting = {};
};

// The formats whose tags are written: MP3 (ID3v2 and the ID3v1 record),
// those whose metadata lies at the file's start (tags/write/startregion.h)
// and those whose tags follow the audio (tags/write/endregion.h).
AudioFormats writableFormats();

// What became of one file of a batch.
enum class FileOutcome {
    Written,
    Unchanged, // it holds the new tags already: neither written nor recorded
    Failed, // unreadable, changed while it was read, or not writable: left as it was
    SameFile, // another path of the batch names the same file, which was written (or not) once
    NotAttempted, // the batch stopped before it
};

struct TagBatchResult {
    int written = 0;
    int unchanged = 0;
    int failed = 0; // and not attempted
    std::vector<FileOutcome> outcomes; // by file
    bool stopped = false; // keepGoing said no
    std::string journalError; // why the journal could not take the command; empty when it did
};

// Whether a batch may go on without its journal record: a tag command
// never does; "save tag" of one file always did.
enum class JournalUse { Required, BestEffort };

// Writes each file's values: every file is read once, its new tags
// computed (tags/write/tagdryrun.h: fields not named keep their values),
// the old tags of all of them recorded in the journal and synced, and then
// the files written, in place when the tag fits. A file reached twice (a
// link and its target, two hard links) is written once. A file that cannot
// be read or written, or that changed since it was read, is left as it was,
// counted, and the batch goes on. With JournalUse::Required a journal that
// cannot be written stops the batch before any file is touched.
TagBatchResult writeTags(const TagBatch& batch, const TagJournal* journal, JournalUse use = JournalUse::Required);

// What the journal records of a file before the rewrite is written to it.
TagSnapshot snapshotOf(const TagLayout& layout, const TagRewrite& rewrite);

// The tag menu's batch: fields not named keep their values.
TagBatchResult writeTagBatch(const std::vector<std::pair<std::string, TagValues>>& files, TagSource source, int year,
    const TagJournal& journal);

} // namespace zentrio
