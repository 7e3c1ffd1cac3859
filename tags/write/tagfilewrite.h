#pragma once

#include "platform/fs/patchfile.h"
#include "platform/fs/spliceinplace.h"
#include "tags/write/tagchange.h"
#include "tags/write/taglayout.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Writing planned tag changes into files, many at a time: each file's
// layout is read and its write planned from that reading, concurrently, a
// slice of files at a time, so memory stays bounded by the slice and not by
// the pictures; the writes go ahead only where the files still hold what
// was read.
namespace zentrio {

struct PlannedWrite {
    fs::Expectation expected;
    // In place, behind a crash copy...
    std::vector<fs::Patch> patches;
    std::optional<std::int64_t> newLength;
    // ...or, for a tag that grows, spliced in place behind a copy of the
    // whole file: the new tag, the rest of the file moved after it.
    std::optional<fs::Splice> splice;
    // A lone record of "save tag": written in place by one write, as ever.
    bool recordOnly = false;
    // Given: the file's modification time (nanoseconds) is set to it once
    // the write is done.
    std::optional<std::int64_t> keepModified;

    // The file holds what the write would give it already.
    bool writesNothing() const { return patches.empty() && !newLength && !splice; }
};

// The writes that turn the layout's file into the rewrite's. A lone record
// of "save tag" is written by one positioned write as it
// always was; every other write goes behind a crash copy.
PlannedWrite plannedWrite(const TagLayout& layout, const TagRewrite& rewrite, bool wholeRecord = false);

using WritePlanner = std::function<std::optional<PlannedWrite>(std::size_t index, const TagLayout& layout)>;

// A write the caller planned already, from its own reading of the file:
// the file itself (links resolved) and its writes. nullopt: read the file.
struct KnownWrite {
    std::string path;
    PlannedWrite write;
};
using KnownWrites = std::function<std::optional<KnownWrite>(std::size_t index)>;

// What a caller does with each slice: before its writes, it sees the plans
// (by the index of their first path) and gives which of them may be written,
// or nullopt to stop the whole run there; after them, it learns which were.
struct SliceHooks {
    std::function<std::optional<std::vector<bool>>(std::size_t first, const std::vector<std::optional<PlannedWrite>>& plans)>
        beforeWrites;
    std::function<void(std::size_t first, const std::vector<bool>& done)> afterWrites;
};

// Reads each file's layout (with its ID3v2 region when `withRegion`) and
// plans its write on the read pool, a slice at a time, then performs the
// slice's writes: the in-place ones behind one crash copy. A file `known`
// gives a write for is not read again. Gives for each path whether its
// write was done; a file that cannot be read, whose plan is nullopt or
// whose write fails is not, and is left as it was.
std::vector<bool> performTagWrites(const std::vector<std::string>& paths, bool withRegion, const WritePlanner& plan,
    const SliceHooks& hooks = {}, const KnownWrites& known = {});

// Where an in-place tag write keeps the old bytes until it is done; a start
// puts back what an interrupted write left there.
std::string tagCopyFolder();

// Puts back what interrupted tag writes left (fs::restoreInterruptedPatches
// on tagCopyFolder()), unless a tag command of this user is running: every
// one holds the tag journal's lock, and its copies are its own until it ends.
fs::RepairOutcome repairInterruptedTagWrites();

} // namespace zentrio
