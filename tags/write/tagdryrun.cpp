#include "tags/write/tagdryrun.h"

#include "platform/fs/readpool.h"
#include "tags/read/tagsource.h"

#include <atomic>

namespace zentrio {

namespace {

    // The fields read back from the bytes the write would leave, against
    // those the file shows now.
    std::vector<FieldChange> changesOf(const TagLayout& layout, const TagRewrite& rewrite, TagSource source)
    {
        const TagFields before = fieldsNow(layout, source);
        const TagFields after = fieldsAfter(layout, rewrite, source);
        std::vector<FieldChange> changes;
        for (int i = 0; i <= static_cast<int>(TagField::AlbumArtist); ++i) {
            const auto field = static_cast<TagField>(i);
            if (fieldValue(before, field) != fieldValue(after, field))
                changes.push_back({ field, fieldValue(before, field), fieldValue(after, field) });
        }
        return changes;
    }

    // The memory a kept write holds: its new bytes and the old ones the
    // journal records.
    std::size_t bytesOf(const KeptWrite& kept)
    {
        std::size_t bytes = kept.write.splice ? kept.write.splice->prefix.size() : 0;
        for (const fs::Patch& patch : kept.write.patches)
            bytes += patch.bytes.size();
        bytes += kept.snapshot.region.size() + kept.snapshot.record.value_or(std::string()).size();
        for (const OldPiece& piece : kept.snapshot.pieces)
            bytes += piece.bytes.size();
        return bytes + sizeof kept;
    }

    // Room for kept writes, shared by the read pool's threads.
    class KeepRoom {
    public:
        explicit KeepRoom(std::size_t bytes)
            : m_left(bytes)
        {
        }
        bool take(std::size_t bytes)
        {
            std::size_t left = m_left.load();
            while (left >= bytes) {
                if (m_left.compare_exchange_weak(left, left - bytes))
                    return true;
            }
            return false;
        }
        bool any() const { return m_left.load() > 0; }

    private:
        std::atomic<std::size_t> m_left;
    };

    struct Read {
        PlannedTagWrite file;
        std::optional<fs::Expectation> expected; // Changes: the file reached
        std::string path; // the file itself
    };

    // False when `taken` leaves the file out by the fields it has now: those of
    // its layout, or, where its tag cannot be rewritten, those the readers give.
    bool isTaken(const TagBatch& batch, const std::string& path, const std::optional<TagLayout>& layout,
        const std::function<bool(const TagFields*)>& taken)
    {
        if (!taken)
            return true;
        if (layout) {
            const TagFields now = fieldsNow(*layout, batch.source);
            return taken(&now);
        }
        const auto fields = readFileTag(path, batch.source);
        return taken(fields ? &*fields : nullptr);
    }

    Read planOne(const TagBatch& batch, const std::string& path,
        const std::function<std::optional<TagValues>()>& valuesOf, const std::function<bool(const TagFields*)>& taken,
        KeepRoom& room)
    {
        Read read;
        const auto layout = readTagLayout(path, batch.source == TagSource::Id3v2First);
        if (!isTaken(batch, path, layout, taken)) {
            read.file.state = PlannedTagWrite::State::NotTaken;
            return read;
        }
        const std::optional<TagValues> values = valuesOf();
        const auto otherFormat = [&] {
            const auto byName = audioFormatOf(path).value_or(AudioFormat::Mp3);
            return audioFormatOf(linkTarget(path)).value_or(byName) != AudioFormat::Mp3 || holdsAnotherFormat(path);
        };
        if (!layout) {
            const bool opens = otherFormat() && fs::FileReader(linkTarget(path)).isOpen();
            read.file.state = opens ? PlannedTagWrite::State::NotWritable : PlannedTagWrite::State::Unreadable;
            return read;
        }
        if (!values) {
            read.file.state = PlannedTagWrite::State::NoMatch;
            return read;
        }
        read.file.values = *values;
        auto plan = planFileWrite(batch, *values, *layout);
        if (!plan) {
            read.file.state = !layout->regionFits ? PlannedTagWrite::State::TagPastEnd
                : otherFormat()                   ? PlannedTagWrite::State::NotWritable
                                                  : PlannedTagWrite::State::Unreadable;
            return read;
        }
        if (plan->write.writesNothing()) {
            read.file.state = PlannedTagWrite::State::Unchanged;
            return read;
        }
        read.file.changes = changesOf(*layout, plan->rewrite, batch.source);
        read.expected = plan->write.expected;
        read.path = layout->path;
        if (room.any()) {
            auto kept = std::make_shared<KeptWrite>(
                KeptWrite { layout->path, std::move(plan->write), snapshotOf(*layout, plan->rewrite), layout->identity });
            if (room.take(bytesOf(*kept)))
                read.file.kept = std::move(kept);
        }
        return read;
    }

} // namespace

std::optional<FileWritePlan> planFileWrite(const TagBatch& batch, const TagValues& values, const TagLayout& layout)
{
    auto rewrite = rewriteTags(layout, { values, batch.source, batch.record, batch.year, batch.addMissingRecord,
                                           batch.recordFields, batch.wholeNewRecord });
    if (!rewrite)
        return std::nullopt;
    PlannedWrite write = plannedWrite(layout, *rewrite, batch.record == RecordRule::Whole);
    if (batch.keepTime && layout.identity.modified != 0)
        write.keepModified = layout.identity.modified;
    return FileWritePlan { std::move(*rewrite), std::move(write) };
}

bool ReachedFiles::firstReach(const fs::Expectation& file, const std::string& path)
{
    return file.inodesIdentify ? m_files.insert({ file.device, file.inode }).second : m_paths.insert(path).second;
}

std::optional<std::vector<PlannedTagWrite>> planTagWrites(const TagBatch& batch, const std::vector<std::string>& paths,
    const ValuesFor& valuesFor, const TakenFor& taken, std::size_t keepBytes)
{
    KeepRoom room(keepBytes);
    constexpr std::size_t kChunk = 4096;
    std::vector<PlannedTagWrite> planned;
    planned.reserve(paths.size());
    ReachedFiles reached;
    for (std::size_t first = 0; first < paths.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, paths.size() - first);
        auto reads = readInOrder(
            count,
            [&](std::size_t i) {
                const std::size_t file = first + i;
                const auto takenHere = taken ? std::function([&](const TagFields* now) { return taken(file, now); })
                                             : std::function<bool(const TagFields*)>();
                return std::optional(planOne(batch, paths[file], [&] { return valuesFor(file); }, takenHere, room));
            },
            ReadAll::Yes);
        for (auto& read : reads) {
            if (read->expected && !reached.firstReach(*read->expected, read->path)) {
                read->file.state = PlannedTagWrite::State::SameFile;
                read->file.changes.clear();
                read->file.kept.reset();
            }
            planned.push_back(std::move(read->file));
        }
        if (batch.keepGoing && !batch.keepGoing(first + count))
            return std::nullopt;
    }
    return planned;
}

} // namespace zentrio
