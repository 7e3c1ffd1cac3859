#include "tags/tagwrite.h"

#include "platform/readpool.h"
#include "tags/tagfilewrite.h"
#include "tags/tagjournal.h"

#include <set>

namespace zentrio {

namespace {

    // A file read and its change computed, before anything is written.
    struct Prepared {
        std::size_t file = 0; // index in the batch
        TagSnapshot snapshot;
        fs::Expectation expected;
    };

    TagSnapshot snapshotOf(const TagLayout& layout, const TagRewrite& rewrite)
    {
        TagSnapshot snapshot { layout.path, layout.length, layout.record };
        snapshot.regionCaptured = rewrite.region != TagRewrite::Region::Unchanged;
        if (rewrite.oldRegion.size() == 1 && rewrite.oldRegion.front().kind == OldPiece::Kind::Bytes)
            snapshot.region = rewrite.oldRegion.front().bytes;
        else
            snapshot.pieces = rewrite.oldRegion;
        return snapshot;
    }

    TagChange changeOf(const TagBatch& batch, std::size_t file)
    {
        return { batch.files[file].second, batch.source, batch.record, batch.year };
    }

    bool sameReading(const fs::Expectation& a, const fs::Expectation& b)
    {
        return a.digest == b.digest && a.length == b.length && a.ranges == b.ranges
            && (!a.inodesIdentify || (a.device == b.device && a.inode == b.inode));
    }

    // Reads every file and computes its change, concurrently; a file reached
    // a second time (by a link, or another hard link) is left out.
    std::vector<Prepared> prepare(const TagBatch& batch, int& unreadable)
    {
        const bool withRegion = batch.source == TagSource::Id3v2First;
        auto read = readInOrder(
            batch.files.size(),
            [&](std::size_t i) -> std::optional<Prepared> {
                const auto layout = readTagLayout(batch.files[i].first, withRegion);
                const auto rewrite = layout ? rewriteTags(*layout, changeOf(batch, i)) : std::nullopt;
                if (!rewrite)
                    return std::nullopt;
                return Prepared { i, snapshotOf(*layout, *rewrite), layout->expectation() };
            },
            ReadAll::Yes);
        std::vector<Prepared> prepared;
        std::set<std::pair<std::uint64_t, std::uint64_t>> seenFiles;
        std::set<std::string> seenPaths;
        for (auto& one : read) {
            if (!one) {
                ++unreadable;
                continue;
            }
            const bool first = one->expected.inodesIdentify
                ? seenFiles.insert({ one->expected.device, one->expected.inode }).second
                : seenPaths.insert(one->snapshot.path).second;
            if (first)
                prepared.push_back(std::move(*one));
        }
        return prepared;
    }

} // namespace

TagBatchResult writeTags(const TagBatch& batch, const TagJournal* journal, JournalUse use)
{
    TagBatchResult result;
    std::vector<Prepared> prepared = prepare(batch, result.failed);
    if (prepared.empty())
        return result;
    std::optional<TagJournal::Command> command;
    if (journal) {
        std::vector<TagSnapshot> snapshots;
        snapshots.reserve(prepared.size());
        for (Prepared& p : prepared)
            snapshots.push_back(std::move(p.snapshot));
        command = journal->begin(snapshots);
        for (std::size_t k = 0; k < prepared.size(); ++k)
            prepared[k].snapshot.path = snapshots[k].path;
        if (!command->ok()) {
            result.journalError = command->error;
            if (use == JournalUse::Required)
                return result;
            command.reset();
        }
    }
    std::vector<std::string> paths;
    for (const Prepared& p : prepared)
        paths.push_back(p.snapshot.path);
    // Each file is read again and written only when it still holds what the
    // journal recorded.
    const auto written = performTagWrites(paths, batch.source == TagSource::Id3v2First,
        [&](std::size_t k, const TagLayout& layout) -> std::optional<PlannedWrite> {
            if (!sameReading(layout.expectation(), prepared[k].expected))
                return std::nullopt;
            const auto rewrite = rewriteTags(layout, changeOf(batch, prepared[k].file));
            if (!rewrite)
                return std::nullopt;
            return plannedWrite(layout, *rewrite);
        });
    std::vector<std::pair<std::size_t, std::optional<FileStamp>>> stamps;
    for (std::size_t k = 0; k < written.size(); ++k) {
        ++(written[k] ? result.written : result.failed);
        stamps.emplace_back(k, written[k] ? fileStamp(paths[k]) : std::nullopt);
    }
    if (command && result.written == 0)
        journal->cancel(*command); // nothing changed: nothing to undo
    else if (command)
        journal->stamp(*command, stamps);
    return result;
}

TagBatchResult writeTagBatch(const std::vector<std::pair<std::string, TagValues>>& files, TagSource source, int year,
    const TagJournal& journal)
{
    return writeTags({ files, source, RecordRule::KeepUnnamed, year }, &journal);
}

} // namespace zentrio
