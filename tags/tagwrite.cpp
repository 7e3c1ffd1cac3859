#include "tags/tagwrite.h"

#include "platform/readpool.h"
#include "tags/tagjournal.h"
#include "tags/tagsave.h"

namespace zentrio {

namespace {

    constexpr std::pair<TagField, const char*> kFrames[] = { { TagField::Track, "TRCK" }, { TagField::Disc, "TPOS" },
        { TagField::Year, "TDRC" }, { TagField::Genre, "TCON" }, { TagField::AlbumArtist, "TPE2" } };

    QString valueOr(const TagValues& values, TagField field, const QString& current)
    {
        const auto found = values.find(field);
        return found == values.end() ? current : found->second;
    }

} // namespace

bool id3v1Holds(TagField field)
{
    return field == TagField::Song || field == TagField::Artist || field == TagField::Album;
}

namespace {

    // What "save tag" would write for these values: the file's current
    // fields where no value is given.
    std::optional<TagEdit> editFor(const std::string& path, const TagValues& values, TagSource source)
    {
        const auto current = readFileTag(path, source);
        if (!current)
            return std::nullopt;
        TagEdit edit { valueOr(values, TagField::Song, current->song), valueOr(values, TagField::Artist, current->artist),
            valueOr(values, TagField::Album, current->album), {} };
        if (source == TagSource::Id3v2First) {
            for (const auto& [field, id] : kFrames) {
                if (const auto found = values.find(field); found != values.end())
                    edit.frames.emplace_back(id, found->second);
            }
        }
        return edit;
    }

} // namespace

TagBatchResult writeTagBatch(const std::vector<std::pair<std::string, TagValues>>& files, TagSource source, int year,
    const TagJournal& journal)
{
    const bool withRegion = source == TagSource::Id3v2First;
    const auto snapshots = readInOrder(
        files.size(), [&](std::size_t i) { return snapshotTags(files[i].first, withRegion); }, ReadAll::Yes);
    std::vector<TagSnapshot> recorded;
    for (const auto& snapshot : snapshots) {
        if (snapshot)
            recorded.push_back(*snapshot);
    }
    if (!recorded.empty())
        journal.record(recorded);
    // Tags that fit their old room are written together after one synced
    // copy of their old bytes; the others are saved one by one.
    TagBatchResult result;
    std::vector<fs::FilePatches> inPlace;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto edit = snapshots[i] ? editFor(files[i].first, files[i].second, source) : std::nullopt;
        auto patches = edit && withRegion ? inPlaceTagSave(files[i].first, *edit, year) : std::nullopt;
        if (patches)
            inPlace.push_back(std::move(*patches));
        else if (edit && saveTag(files[i].first, *edit, year, source))
            ++result.written;
        else
            ++result.failed;
    }
    for (const bool patched : fs::patchFiles(inPlace, tagCopyFolder())) {
        ++(patched ? result.written : result.failed);
    }
    std::vector<std::string> written;
    if (!recorded.empty()) {
        for (const TagSnapshot& snapshot : recorded)
            written.push_back(snapshot.path);
        journal.stampNewest(written);
    }
    return result;
}

} // namespace zentrio
