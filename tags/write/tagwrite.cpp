#include "tags/write/tagwrite.h"

#include "tags/write/endregion.h"
#include "tags/write/startregion.h"
#include "tags/write/tagdryrun.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"

#include <unordered_map>

namespace zentrio {

namespace {

    // A slice's plans go to the journal, synced, before any of them is
    // written; a file reached a second time (by a link, or another hard
    // link) and a file that holds its new tags already are left out.
    class Recorder {
    public:
        Recorder(TagJournal::Command* command, std::vector<std::optional<TagSnapshot>>& snapshots,
            std::vector<FileOutcome>& outcomes)
            : m_command(command)
            , m_snapshots(snapshots)
            , m_outcomes(outcomes)
        {
        }

        std::optional<std::vector<bool>> beforeWrites(std::size_t first, const std::vector<std::optional<PlannedWrite>>& plans)
        {
            m_allowed.assign(plans.size(), false);
            std::vector<TagSnapshot> recorded;
            for (std::size_t i = 0; i < plans.size(); ++i) {
                auto& snapshot = m_snapshots[first + i];
                FileOutcome& outcome = m_outcomes[first + i];
                if (!plans[i] || !snapshot)
                    outcome = FileOutcome::Failed;
                else if (!m_reached.firstReach(plans[i]->expected, snapshot->path))
                    outcome = FileOutcome::SameFile;
                else if (plans[i]->writesNothing())
                    outcome = FileOutcome::Unchanged;
                else {
                    m_allowed[i] = true;
                    m_journalIndex[first + i] = m_recorded++;
                    recorded.push_back(std::move(*snapshot));
                }
                snapshot.reset();
            }
            if (m_command && !recorded.empty() && !m_command->add(recorded))
                return std::nullopt;
            return m_allowed;
        }

        void afterWrites(std::size_t first, const std::vector<bool>& done)
        {
            for (std::size_t i = 0; i < done.size(); ++i) {
                if (!m_allowed[i])
                    continue;
                m_outcomes[first + i] = done[i] ? FileOutcome::Written : FileOutcome::Failed;
                if (!done[i])
                    m_notWritten.push_back(m_journalIndex[first + i]);
            }
        }

        const std::vector<std::size_t>& notWritten() const { return m_notWritten; }

    private:
        TagJournal::Command* m_command;
        std::vector<std::optional<TagSnapshot>>& m_snapshots;
        std::vector<FileOutcome>& m_outcomes;
        std::vector<bool> m_allowed;
        std::unordered_map<std::size_t, std::size_t> m_journalIndex;
        std::size_t m_recorded = 0;
        ReachedFiles m_reached;
        std::vector<std::size_t> m_notWritten;
    };

    // The kept write of file i, while the file is still as its reading found it.
    std::optional<KnownWrite> keptWrite(const TagBatch& batch, std::size_t i)
    {
        if (!batch.shown.empty() || i >= batch.kept.size() || !batch.kept[i])
            return std::nullopt;
        const KeptWrite& kept = *batch.kept[i];
        const auto now = fs::identityOf(kept.path);
        if (!now || !fs::sameIdentity(kept.seen, *now, kept.write.expected.inodesIdentify)
            || now->modified != kept.seen.modified || now->changed != kept.seen.changed)
            return std::nullopt;
        return KnownWrite { kept.path, kept.write };
    }

} // namespace

TagSnapshot snapshotOf(const TagLayout& layout, const TagRewrite& rewrite)
{
    TagSnapshot snapshot { layout.path, layout.length, layout.record };
    snapshot.regionCaptured = rewrite.region != TagRewrite::Region::Unchanged;
    if (rewrite.oldRegion.size() == 1 && rewrite.oldRegion.front().kind == OldPiece::Kind::Bytes)
        snapshot.region = rewrite.oldRegion.front().bytes;
    else
        snapshot.pieces = rewrite.oldRegion;
    snapshot.before = fingerprintOf(layout, snapshot.regionCaptured);
    snapshot.written = fingerprintAfter(layout, rewrite);
    if (layout.identity.modified != 0)
        snapshot.modified = layout.identity.modified;
    snapshot.regionOffset = layout.regionOffset;
    return snapshot;
}

TagBatchResult writeTags(const TagBatch& batch, const TagJournal* journal, JournalUse use)
{
    TagBatchResult result;
    std::optional<TagJournal::Command> command;
    if (journal) {
        command.emplace(journal->begin(batch.origin, batch.keepWaiting));
        if (!command->ok()) {
            result.journalError = command->error();
            if (use == JournalUse::Required) {
                result.failed = static_cast<int>(batch.files.size());
                result.outcomes.assign(batch.files.size(), FileOutcome::NotAttempted);
                return result;
            }
            command.reset();
        }
    }
    std::vector<std::string> paths;
    paths.reserve(batch.files.size());
    for (const auto& [path, values] : batch.files)
        paths.push_back(path);
    // Each file is read once: its new tags, its journal record and its
    // writes all come from that one reading, and the writes go ahead only
    // while the file still holds what was read.
    std::vector<std::optional<TagSnapshot>> snapshots(batch.files.size());
    result.outcomes.assign(batch.files.size(), FileOutcome::NotAttempted);
    Recorder recorder(command ? &*command : nullptr, snapshots, result.outcomes);
    performTagWrites(
        paths, batch.source == TagSource::Id3v2First,
        [&](std::size_t i, const TagLayout& layout) -> std::optional<PlannedWrite> {
            if (!batch.shown.empty()
                && (!batch.shown[i] || !fs::sameIdentity(*batch.shown[i], layout.identity, layout.inodesIdentify)))
                return std::nullopt; // not the file that was shown under this name
            auto plan = planFileWrite(batch, batch.files[i].second, layout);
            if (!plan)
                return std::nullopt;
            snapshots[i] = snapshotOf(layout, plan->rewrite);
            return std::move(plan->write);
        },
        { [&](std::size_t first, const auto& plans) -> std::optional<std::vector<bool>> {
             if (batch.keepGoing && !batch.keepGoing(first)) {
                 result.stopped = true;
                 return std::nullopt;
             }
             return recorder.beforeWrites(first, plans);
         },
            [&](std::size_t first, const std::vector<bool>& sliceDone) { recorder.afterWrites(first, sliceDone); } },
        [&](std::size_t i) {
            auto known = keptWrite(batch, i);
            if (known)
                snapshots[i] = batch.kept[i]->snapshot;
            return known;
        });
    for (const FileOutcome outcome : result.outcomes) {
        if (outcome == FileOutcome::Written)
            ++result.written;
        else if (outcome == FileOutcome::Unchanged)
            ++result.unchanged;
        else if (outcome == FileOutcome::Failed || outcome == FileOutcome::NotAttempted)
            ++result.failed;
    }
    if (command) {
        if (!command->ok())
            result.journalError = command->error();
        command->finish(recorder.notWritten(), result.written > 0);
    }
    return result;
}

AudioFormats writableFormats()
{
    AudioFormats formats = startRegionFormats();
    const AudioFormats atEnd = endRegionFormats();
    for (int i = 0; i <= static_cast<int>(AudioFormat::Ape); ++i) {
        if (atEnd.contains(static_cast<AudioFormat>(i)))
            formats.add(static_cast<AudioFormat>(i));
    }
    formats.add(AudioFormat::Mp3);
    return formats;
}

TagBatchResult writeTagBatch(const std::vector<std::pair<std::string, TagValues>>& files, TagSource source, int year,
    const TagJournal& journal)
{
    return writeTags({ files, source, RecordRule::KeepUnnamed, year }, &journal);
}

} // namespace zentrio
