#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Setting some text frames of an ID3v2 tag while every other frame keeps
// its bytes: the frames named are rendered anew (by TagLib's frame classes)
// where the first of their id stood, the others are copied as they lie.
namespace zentrio {

// A text frame to set; an empty text removes the frame. Frames of the ids
// in `replaces` go too (the year is TYER in 2.3 and TDRC in 2.4).
struct FrameValue {
    std::string id;
    QString text;
    std::vector<std::string> replaces = {};
    bool keepTotal = false; // "5" over "3/12" gives "5/12"
};

// A run of the old tag's bytes told against the new tag: bytes the edit
// removed, bytes that now lie at `offset` of the new tag (known there by
// their digest), or zeros (padding).
struct OldPiece {
    enum class Kind { Bytes, Moved, Zeros } kind = Kind::Bytes;
    std::string bytes; // Bytes
    std::size_t offset = 0; // Moved
    std::size_t size = 0; // Moved, Zeros
    std::uint64_t digest = 0; // Moved
    std::size_t length() const { return kind == Kind::Bytes ? bytes.size() : size; }
};

// The edited tag without its padding (the header's size is set by
// withPadding), and the old tag as pieces of the new one.
struct EditedTag {
    std::string tag;
    std::vector<OldPiece> old;
};

// nullopt where the tag cannot be edited frame by frame: not a lone
// version 2.2, 2.3 or 2.4 tag, unsynchronised (or in 2.2 compressed) as a
// whole, with a footer, or frames that do not end cleanly. A 2.2 tag stays
// 2.2, its frames named by their 2.3 ids; an extended header is left out.
std::optional<EditedTag> editFrames(std::string_view oldTag, const std::vector<FrameValue>& values);

// A new version 2.3 tag (without padding) holding the values that are not
// empty; empty when there is none.
std::string newTagOf(const std::vector<FrameValue>& values);

// The tag with zeros after it up to `size` bytes and its header's size set;
// nullopt when it does not fit or the size cannot be written.
std::optional<std::string> withPadding(std::string tag, std::size_t size);

// The text with the old text's total ("/12") when it has none of its own.
QString withKeptTotal(const QString& text, const QString& oldText);

// The old bytes told against new ones that TagLib rendered whole: runs of
// at least 4 KiB found again in `now` (a picture that stays) as where they
// lie there, the rest as bytes. The search is bounded, so bytes that were
// re-encoded (an unsynchronised tag) cost no more than keeping them.
std::vector<OldPiece> oldAgainstNew(std::string_view old, std::string_view now);

// The old bytes that a list of pieces describes, taking the moved ones from
// `now` (the new tag's bytes as they lie); nullopt when a moved piece is not
// found there with its digest.
std::optional<std::string> oldBytesOf(const std::vector<OldPiece>& pieces, std::string_view now);

} // namespace zentrio
