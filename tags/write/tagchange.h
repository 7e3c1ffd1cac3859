#pragma once

#include "platform/fs/patchfile.h"
#include "tags/write/frameedit.h"
#include "tags/write/taglayout.h"
#include "tags/read/tagsource.h"
#include "tags/write/tagvalues.h"

#include <optional>
#include <string>
#include <vector>

// How a file's tags change: the one place that turns a file's current tags
// and the values named into its new tags, for every caller (the "save tag"
// button, the tag menu's batches, the command line).
namespace zentrio {

// How the ID3v1 record is written: as "save tag" writes it (its three
// texts, today's year, a blank comment and genre 12, whatever the file
// held), or keeping every byte of the old record that no value names (a
// file without a record gets a whole one, with the values named).
enum class RecordRule { Whole, KeepUnnamed };

// Which fields the ID3v1 record takes: song, artist and album as the
// windows write it with the ID3v2 switch off, or every field it has room for.
enum class RecordFields { Texts, All };

struct TagChange {
    TagValues values;
    TagSource source = TagSource::Id3v1; // Id3v2First: the ID3v2 tag takes the values too
    RecordRule record = RecordRule::KeepUnnamed;
    int year = 0; // today's, for a whole record
    bool addMissingRecord = true; // false: a file without an ID3v1 record gets none (its ID3v2 tag holds the values)
    RecordFields recordFields = RecordFields::Texts; // with TagSource::Id3v1
    // A new record for a file without one: as "save tag" writes it (today's
    // year, genre 12), or blank (no year, no genre) but for the values named.
    bool wholeNewRecord = true;
};

// A file's new tags, computed from one reading of its layout.
struct TagRewrite {
    std::optional<std::string> record; // the new record, at the layout's record offset; nullopt: none is written
    enum class Region { Unchanged, InPlace, Grows } region = Region::Unchanged;
    std::string regionBytes; // InPlace: the old region's size; Grows: the new region, its room to spare included
    std::vector<OldPiece> oldRegion; // the old region told against the new one, for undo
};

// nullopt when the file's ID3v2 tag cannot be rewritten safely (it claims
// more bytes than the file holds, or TagLib cannot write it).
std::optional<TagRewrite> rewriteTags(const TagLayout& layout, const TagChange& change);

// The ID3v2 text frames that take the values in a tag of that version
// (the year: TDRC in 2.4, TYER before).
std::vector<FrameValue> id3v2FramesOf(const TagValues& values, int version);

// A field as a file shows it: a track or disc with its total ("3/12").
QString fieldValue(const TagFields& tag, TagField field);

// The fields the file shows now, by the source (a file of another format: by its metadata).
TagFields fieldsNow(const TagLayout& layout, TagSource source);

// The fields the file will show, by the source, once the rewrite is written.
TagFields fieldsAfter(const TagLayout& layout, const TagRewrite& rewrite, TagSource source);

// The runs of `now` that differ from `old` (runs closer than 64 bytes
// joined), as writes at their offsets.
std::vector<fs::Patch> changedRuns(const std::string& old, const std::string& now);

// The in-place writes of a rewrite whose region fits: the runs of the
// region that change, and the record where it differs from the old one.
std::vector<fs::Patch> inPlacePatches(const TagLayout& layout, const TagRewrite& rewrite);

// A file's tag bytes known by their length and a digest: the ID3v2 region
// (where a command writes it) and the file's last 128 bytes.
struct TagFingerprint {
    std::int64_t length = 0;
    std::uint64_t digest = 0;
    bool operator==(const TagFingerprint&) const = default;
};
// The file's fingerprint as the layout shows it.
TagFingerprint fingerprintOf(const TagLayout& layout, bool withRegion);
// The fingerprint the file will have once the rewrite is written.
TagFingerprint fingerprintAfter(const TagLayout& layout, const TagRewrite& rewrite);
// The fingerprint the file will have once its tag region is `region` and its
// ID3v1 record `record` (none: the file ends with the bytes before the record
// it has now); nullopt for a file too short for its trailer window.
std::optional<TagFingerprint> fingerprintRestored(
    const TagLayout& now, std::string_view region, bool withRegion, const std::optional<std::string>& record);

// Room to spare in a tag that grows, so that the next edits fit in place.
inline constexpr std::size_t kRoomToSpare = 1024;

} // namespace zentrio
