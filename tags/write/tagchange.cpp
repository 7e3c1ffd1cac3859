#include "tags/write/tagchange.h"

#include "platform/fs/digest.h"
#include "tags/read/framewalk.h"
#include "tags/write/id3v1record.h"
#include "tags/read/id3v2.h"
#include "tags/write/id3v2save.h"
#include "tags/read/formattags.h"
#include "tags/read/tagsource.h"
#include "tags/write/endregion.h"
#include "tags/write/startregion.h"

#include <QRegularExpression>

#include <cstring>
#include <tuple>

namespace zentrio {

namespace {

    // A date ("2024-05-01", "2024-05") goes whole into a 2.4 TDRC, and as its
    // year into a 2.3 TYER, which holds four digits; any other text as it is.
    QString yearOfDate(const QString& text)
    {
        static const QRegularExpression date(QStringLiteral("^[0-9]{4}-[0-9]{2}(-[0-9]{2})?$"));
        return date.match(text).hasMatch() ? text.left(4) : text;
    }

    // The frame each field goes to; the year's depends on the version.
    std::vector<FrameValue> frameValues(const TagValues& values, int version)
    {
        std::vector<FrameValue> frames;
        for (const auto& [field, text] : values) {
            switch (field) {
            case TagField::Song:
                frames.push_back({ "TIT2", text });
                break;
            case TagField::Artist:
                frames.push_back({ "TPE1", text });
                break;
            case TagField::Album:
                frames.push_back({ "TALB", text });
                break;
            case TagField::AlbumArtist:
                frames.push_back({ "TPE2", text });
                break;
            case TagField::Genre:
                frames.push_back({ "TCON", text });
                break;
            case TagField::Track:
                frames.push_back({ "TRCK", text, {}, true });
                break;
            case TagField::Disc:
                frames.push_back({ "TPOS", text, {}, true });
                break;
            case TagField::Year:
                frames.push_back(version >= 4 ? FrameValue { "TDRC", text, { "TYER" } }
                                              : FrameValue { "TYER", yearOfDate(text), { "TDRC" } });
                break;
            }
        }
        return frames;
    }

    // The fields the file shows now by the source, for the texts of a new record.
    TagFields currentFields(const TagLayout& layout, TagSource source)
    {
        return tagFieldsOf(layout.region, layout.tail, source);
    }

    std::optional<std::string> newRecord(const TagLayout& layout, const TagChange& change)
    {
        if (!layout.record && !change.addMissingRecord && change.source == TagSource::Id3v2First)
            return std::nullopt;
        const auto value = [&](TagField field, const QString& current) {
            const auto found = change.values.find(field);
            return found == change.values.end() ? current : found->second;
        };
        // With the ID3v2 switch off the record takes song, artist and album
        // alone, as "save tag" writes them; with it on, the record keeps in
        // step with every field it has room for.
        TagValues named;
        for (const auto& [field, text] : change.values) {
            if (change.source == TagSource::Id3v2First || change.recordFields == RecordFields::All || id3v1Holds(field))
                named[field] = text;
        }
        if (change.record == RecordRule::KeepUnnamed && layout.record)
            return recordWithValues(*layout.record, named);
        const TagFields current
            = change.record == RecordRule::Whole ? TagFields {} : currentFields(layout, change.source);
        const TagEdit edit { value(TagField::Song, current.song), value(TagField::Artist, current.artist),
            value(TagField::Album, current.album) };
        std::string fresh = buildTagRecord(edit, change.year).toStdString();
        if (change.record == RecordRule::Whole)
            return fresh;
        if (!change.wholeNewRecord) {
            fresh.replace(93, 4, "    "); // no year
            fresh.back() = static_cast<char>(255); // no genre
        }
        return recordWithValues(fresh, named);
    }

    // TagLib's rewrite, for tags the frame editor does not take apart
    // (unsynchronisation, a footer, frames that do not end cleanly, several
    // tags in a row): the whole old region is kept for undo.
    std::optional<TagRewrite> rewrittenByTagLib(const TagLayout& layout, const std::vector<FrameValue>& frames)
    {
        // TagLib drops the 2.2 frames later versions have no word for, and
        // reads a 2.3 extended header's size as 2.4 counts it, losing the
        // frames after it: such a tag is left alone rather than lose them.
        const auto version = static_cast<std::uint8_t>(layout.region[3]);
        if (version == 2 || (version == 3 && (static_cast<std::uint8_t>(layout.region[5]) & 0x40) != 0))
            return std::nullopt;
        const auto start = layout.region + layout.following;
        const auto updated = withId3v2Fields(start, frames);
        if (!updated || !std::string_view(*updated).ends_with(layout.following))
            return std::nullopt;
        TagRewrite rewrite;
        rewrite.regionBytes = updated->substr(0, updated->size() - layout.following.size());
        if (const auto inPlace = id3v2RegionInPlace(start, layout.region.size(), frames)) {
            rewrite.region = TagRewrite::Region::InPlace;
            rewrite.regionBytes = *inPlace;
        } else {
            rewrite.region = TagRewrite::Region::Grows;
        }
        rewrite.oldRegion = oldAgainstNew(layout.region, rewrite.regionBytes);
        return rewrite;
    }

    // Where the ID3v2 tag will start to be read in place of the ID3v1
    // record (it gives no title, artist or album now), the record's fields
    // that the tag lacks are carried into it, so that a field not named
    // keeps the value the file showed.
    TagValues withCarriedValues(const TagLayout& layout, TagValues values)
    {
        const auto tag = id3v2FieldsOfRegion(layout.region);
        if (tag && namesTheSong(*tag))
            return values;
        const TagFields record = tagFieldsOf({}, layout.tail, TagSource::Id3v1);
        if (!record.found)
            return values;
        const std::tuple<TagField, const QString*, const char*> fields[] = { { TagField::Song, &record.song, "TIT2" },
            { TagField::Artist, &record.artist, "TPE1" }, { TagField::Album, &record.album, "TALB" },
            { TagField::Track, &record.track, "TRCK" }, { TagField::Year, &record.year, "TDRC" },
            { TagField::Genre, &record.genre, "TCON" } };
        for (const auto& [field, value, id] : fields) {
            const bool inTag = !layout.region.empty() && !id3v2FirstText(layout.region, id).isEmpty();
            if (!value->isEmpty() && !values.contains(field) && !inTag)
                values[field] = *value;
        }
        return values;
    }

    std::optional<TagRewrite> rewriteRegion(const TagLayout& layout, const TagValues& named)
    {
        TagRewrite rewrite;
        if (named.empty())
            return rewrite;
        const int version = layout.region.size() > 3 ? static_cast<unsigned char>(layout.region[3]) : 3;
        const std::vector<FrameValue> frames = frameValues(withCarriedValues(layout, named), version);
        // A tag that claims more bytes than the file holds would take the
        // audio with it; one followed by a damaged tag header is left alone
        // too, as TagLib would take that for a copy of the tag.
        if (!layout.regionFits || std::string_view(layout.following).starts_with("ID3"))
            return std::nullopt;
        if (layout.region.empty()) {
            const std::string tag = newTagOf(frames);
            if (tag.empty())
                return rewrite;
            rewrite.region = TagRewrite::Region::Grows;
            rewrite.regionBytes = *withPadding(tag, tag.size() + kRoomToSpare);
            return rewrite;
        }
        auto edited = editFrames(layout.region, frames);
        if (!edited)
            return rewrittenByTagLib(layout, frames);
        rewrite.oldRegion = std::move(edited->old);
        if (auto inPlace = withPadding(edited->tag, layout.region.size())) {
            rewrite.region = TagRewrite::Region::InPlace;
            rewrite.regionBytes = std::move(*inPlace);
        } else if (auto grown = withPadding(edited->tag, edited->tag.size() + kRoomToSpare)) {
            rewrite.region = TagRewrite::Region::Grows;
            rewrite.regionBytes = std::move(*grown);
        } else {
            return std::nullopt;
        }
        return rewrite;
    }

} // namespace

std::vector<FrameValue> id3v2FramesOf(const TagValues& values, int version) { return frameValues(values, version); }

QString fieldValue(const TagFields& tag, TagField field)
{
    const auto pair = [](const QString& number, const QString& total) {
        return total.isEmpty() ? number : number + u'/' + total;
    };
    switch (field) {
    case TagField::Song:
        return tag.song;
    case TagField::Artist:
        return tag.artist;
    case TagField::Album:
        return tag.album;
    case TagField::Track:
        return pair(tag.track, tag.tracks);
    case TagField::Disc:
        return pair(tag.disc, tag.discs);
    case TagField::Year:
        return tag.year;
    case TagField::Genre:
        return tag.genre;
    case TagField::AlbumArtist:
        return tag.albumArtist;
    }
    return {};
}

namespace {

    // A file's fields with `region` as its metadata, read as the lister
    // reads the file: the metadata, then the file's last bytes (where a FLAC
    // file's ID3v1 record is read when the comment gives nothing); an end
    // region after the metadata before it (a WAV file's INFO list gives the
    // fields where its ID3 tag gives none).
    std::optional<TagFields> regionFieldsOf(std::string_view region, const TagLayout& layout)
    {
        if (layout.regionAtEnd)
            return formatFieldsOf(layout.context + std::string(region), layout.format);
        const auto format = startRegionFormat(layout.format);
        if (format && !format->tailGivesFields)
            return formatFieldsOf(region, layout.format);
        return formatFieldsOf(std::string(region) + layout.tail, layout.format);
    }

    using RegionWithValues = std::optional<std::string> (*)(std::string_view region, const TagValues& values);

    // The fields not named whose values the write would change.
    TagValues unnamedChanges(const TagFields& before, const TagFields& after, const TagValues& named)
    {
        TagValues changed;
        for (int i = 0; i <= static_cast<int>(TagField::AlbumArtist); ++i) {
            const auto field = static_cast<TagField>(i);
            if (!named.contains(field) && fieldValue(before, field) != fieldValue(after, field))
                changed[field] = fieldValue(before, field);
        }
        return changed;
    }

    // A field removed that still reads a value once written: an end
    // region's ID3 tag left without fields lets the INFO list show again.
    bool removedFieldShows(const TagFields& after, const TagValues& named)
    {
        for (const auto& [field, value] : named) {
            if (value.isEmpty() && !fieldValue(after, field).isEmpty())
                return true;
        }
        return false;
    }

    // Only values the new tag hides are carried into it; an empty one would
    // remove a frame whose value TagLib did not show (it reads a version 2.3
    // tag with an extended header as empty).
    bool carriesOnlyValues(const TagValues& carried)
    {
        for (const auto& entry : carried) {
            if (entry.second.isEmpty())
                return false;
        }
        return true;
    }

    // The format's metadata region (at the file's start, or at its end)
    // takes the values; it keeps its size where its padding has room, and
    // the whole old region is kept for undo. Refused: metadata so large or
    // audio so short that the file's last bytes are not audio (an end region
    // is the file's last bytes, so that does not hold for it), and a write
    // after which a field not named would read otherwise (a FLAC file shows
    // an ID3 tag's fields, which a comment with a value hides). Where an end
    // region's fields came from metadata it hides once it has a value (a WAV
    // file's INFO list behind a new ID3 tag), the region takes them too.
    std::optional<TagRewrite> rewriteFormatRegion(const TagLayout& layout, RegionWithValues withValues, TagValues values)
    {
        TagRewrite rewrite;
        if (values.empty())
            return rewrite;
        if (layout.region.size() > kMaxStartRegion
            || (!layout.regionAtEnd && layout.region.size() + layout.tail.size() > static_cast<std::size_t>(layout.length)))
            return std::nullopt;
        auto region = withValues(layout.region, values);
        const auto before = regionFieldsOf(layout.region, layout);
        auto after = region ? regionFieldsOf(*region, layout) : std::nullopt;
        if (!before || !after)
            return std::nullopt; // what TagLib cannot read back is never written
        if (const TagValues carried = unnamedChanges(*before, *after, values); !carried.empty()) {
            if (!layout.regionAtEnd || !carriesOnlyValues(carried))
                return std::nullopt;
            TagValues withCarried = values;
            withCarried.insert(carried.begin(), carried.end());
            region = withValues(layout.region, withCarried);
            after = region ? regionFieldsOf(*region, layout) : std::nullopt;
            // Every field not named, carried or not, reads as it did.
            if (!after || !unnamedChanges(*before, *after, values).empty())
                return std::nullopt;
        }
        if (layout.regionAtEnd && removedFieldShows(*after, values))
            return std::nullopt;
        const auto endFormat = layout.regionAtEnd ? endRegionFormat(layout.format) : std::nullopt;
        if (endFormat && !lengthFits(*endFormat, layout.regionOffset + static_cast<std::int64_t>(region->size())))
            return std::nullopt;
        rewrite.region = region->size() == layout.region.size() ? TagRewrite::Region::InPlace : TagRewrite::Region::Grows;
        rewrite.regionBytes = std::move(*region);
        rewrite.oldRegion = oldAgainstNew(layout.region, rewrite.regionBytes);
        return rewrite;
    }

} // namespace

std::optional<TagRewrite> rewriteTags(const TagLayout& layout, const TagChange& change)
{
    if (layout.regionAtEnd) {
        const auto endRegion = endRegionFormat(layout.format);
        return endRegion ? rewriteFormatRegion(layout, endRegion->withValues, change.values) : std::nullopt;
    }
    if (const auto startRegion = startRegionFormat(layout.format))
        return rewriteFormatRegion(layout, startRegion->withValues, change.values);
    TagRewrite rewrite;
    if (change.source == TagSource::Id3v2First) {
        auto region = rewriteRegion(layout, change.values);
        if (!region)
            return std::nullopt;
        rewrite = std::move(*region);
    }
    rewrite.record = newRecord(layout, change);
    return rewrite;
}

namespace {

    TagFingerprint fingerprint(std::string_view region, std::string_view last, std::int64_t length)
    {
        Digest digest;
        digest.add(region);
        digest.add(last);
        return { length, digest.value() };
    }

} // namespace

TagFingerprint fingerprintOf(const TagLayout& layout, bool withRegion)
{
    return fingerprint(withRegion ? std::string_view(layout.region) : std::string_view(),
        std::string_view(layout.tail).substr(layout.tail.size() - kRecordSize), layout.length);
}

TagFingerprint fingerprintAfter(const TagLayout& layout, const TagRewrite& rewrite)
{
    const std::int64_t record = kRecordSize;
    const bool withRegion = rewrite.region != TagRewrite::Region::Unchanged;
    const std::int64_t added = rewrite.record && !layout.record ? record : 0; // an appended record
    std::int64_t length = layout.length + added;
    if (rewrite.region == TagRewrite::Region::Grows)
        length = static_cast<std::int64_t>(rewrite.regionBytes.size()) + layout.length
            - static_cast<std::int64_t>(layout.region.size()) + added;
    // The file ends with the record written, or with the bytes it ended
    // with, or with its new end region.
    if (layout.regionAtEnd)
        return fingerprint(withRegion ? std::string_view(rewrite.regionBytes) : std::string_view(),
            layout.lastBytesWith(withRegion ? rewrite.regionBytes : layout.region), length);
    const std::string_view last = rewrite.record ? std::string_view(*rewrite.record)
                                                 : std::string_view(layout.tail).substr(layout.tail.size() - kRecordSize);
    return fingerprint(withRegion ? std::string_view(rewrite.regionBytes) : std::string_view(), last, length);
}

std::optional<TagFingerprint> fingerprintRestored(
    const TagLayout& now, std::string_view region, bool withRegion, const std::optional<std::string>& record)
{
    const std::string_view tail(now.tail);
    if (tail.size() < 2 * std::size_t(kRecordSize) + 1 || (record && record->size() != std::size_t(kRecordSize)))
        return std::nullopt;
    // Without a record of its own the file ends where its present record begins.
    const std::string_view last = record ? std::string_view(*record)
        : now.record                     ? tail.substr(tail.size() - 2 * kRecordSize, kRecordSize)
                                         : tail.substr(tail.size() - kRecordSize);
    const std::int64_t length = now.length - static_cast<std::int64_t>(now.region.size())
        + static_cast<std::int64_t>(region.size()) - (now.record ? kRecordSize : 0) + (record ? kRecordSize : 0);
    if (now.regionAtEnd) // the file ends with the region put back
        return fingerprint(withRegion ? region : std::string_view(), now.lastBytesWith(region), length);
    return fingerprint(withRegion ? region : std::string_view(), last, length);
}

TagFields fieldsNow(const TagLayout& layout, TagSource source)
{
    if (layout.format != AudioFormat::Mp3)
        return regionFieldsOf(layout.region, layout).value_or(TagFields {});
    return tagFieldsOf(layout.region, layout.tail, source);
}

TagFields fieldsAfter(const TagLayout& layout, const TagRewrite& rewrite, TagSource source)
{
    const std::string_view region
        = rewrite.region == TagRewrite::Region::Unchanged ? std::string_view(layout.region) : std::string_view(rewrite.regionBytes);
    if (layout.format != AudioFormat::Mp3)
        return regionFieldsOf(region, layout).value_or(TagFields {});
    if (!rewrite.record)
        return tagFieldsOf(region, layout.tail, source);
    // The file's last 257 bytes: the 129 before the record, then the record.
    const std::string tail
        = std::string(std::string_view(layout.tail).substr(layout.record ? 0 : kRecordSize, kWindowSize + 1 - kRecordSize))
        + *rewrite.record;
    return tagFieldsOf(region, tail, source);
}

namespace {

    // The first index from `from` on where the two differ (or `now` ends);
    // equal stretches are stepped over a block at a time, as a tag region of
    // a few hundred KiB mostly holds a picture that stays as it was.
    std::size_t firstDifference(const std::string& old, const std::string& now, std::size_t from)
    {
        constexpr std::size_t kBlock = 256;
        const std::size_t common = std::min(old.size(), now.size());
        std::size_t i = from;
        while (i + kBlock <= common && std::memcmp(old.data() + i, now.data() + i, kBlock) == 0)
            i += kBlock;
        while (i < common && old[i] == now[i])
            ++i;
        return std::min(i, now.size());
    }

} // namespace

std::vector<fs::Patch> changedRuns(const std::string& old, const std::string& now)
{
    constexpr std::size_t kJoin = 64; // runs closer than this are written as one
    std::vector<fs::Patch> patches;
    for (std::size_t i = firstDifference(old, now, 0); i < now.size(); i = firstDifference(old, now, i)) {
        std::size_t end = i + 1;
        for (std::size_t same = 0; end < now.size() && same < kJoin; ++end)
            same = end < old.size() && old[end] == now[end] ? same + 1 : 0;
        while (end > i + 1 && end - 1 < old.size() && old[end - 1] == now[end - 1])
            --end;
        patches.push_back({ static_cast<std::int64_t>(i), now.substr(i, end - i) });
        i = end;
    }
    return patches;
}

std::vector<fs::Patch> inPlacePatches(const TagLayout& layout, const TagRewrite& rewrite)
{
    std::vector<fs::Patch> patches;
    if (rewrite.region == TagRewrite::Region::InPlace)
        patches = changedRuns(layout.region, rewrite.regionBytes);
    if (rewrite.record && layout.record != rewrite.record)
        patches.push_back({ layout.recordOffset(), *rewrite.record });
    return patches;
}

} // namespace zentrio
