#pragma once

#include "platform/fs/fsops.h"
#include "platform/fs/patchfile.h"
#include "tags/read/audiofile.h"
#include "tags/read/trailer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a tag write needs to know of a file, read once: which file it is,
// how long, its ID3v2 region, and where its ID3v1 record is or would go.
// Every write is computed from one such reading, and goes ahead only while
// the file still holds what was read.
namespace zentrio {

inline constexpr int kRecordSize = 128;

struct TagLayout {
    std::string path; // the file itself: symbolic links resolved
    AudioFormat format = AudioFormat::Mp3; // by the name the file was reached by
    fs::FileIdentity identity;
    bool inodesIdentify = true; // false where inode numbers do not stay with a file
    std::int64_t length = 0;
    std::string tail; // the trailer window and the file's last byte (257 bytes)
    std::optional<std::string> record; // the ID3v1 record in the file's last 128 bytes
    bool regionRead = false; // the ID3v2 region below was read
    std::string region; // the bytes at the start that a tag rewrite replaces (empty: no tag); other formats: their metadata
    std::string following; // up to 4 KiB after the region, which TagLib's rewrite must keep
    bool regionFits = true; // false: the tag claims more bytes than the file holds
    // A format whose tags follow its audio (tags/write/endregion.h): the
    // region runs from its offset to the file's end; the metadata before it
    // that the fields are read with; the (up to) 128 bytes right before it.
    bool regionAtEnd = false;
    std::int64_t regionOffset = 0;
    std::string context;
    std::vector<std::pair<std::int64_t, std::int64_t>> contextRanges;
    std::string beforeRegion;

    std::string_view window() const { return std::string_view(tail).substr(0, kWindowSize); }
    // Where the record is, or where a new one is appended (audio is never overwritten).
    std::int64_t recordOffset() const { return record ? length - kRecordSize : length; }
    // The file's last 128 bytes once its region is `region` (an end region;
    // the bytes before it stay).
    std::string lastBytesWith(std::string_view region) const;
    // What a write computed from this reading expects the file still to hold.
    fs::Expectation expectation() const;
};

// True when the trailer window shows a record in the file's last 128 bytes.
bool endsWithRecord(std::string_view window);

// Reads the file's layout; with `withRegion` its ID3v2 region too (the
// metadata at the start of a file of another format always, and never an
// ID3v1 record). nullopt when the file cannot be read, is no regular file
// (or one with damaged metadata),
// or is 256 bytes long or shorter ("save tag" fails then), or is of a format
// whose tags are not written.
std::optional<TagLayout> readTagLayout(const std::string& path, bool withRegion);

// True for a file named as MP3 whose bytes after its ID3v2 tags begin as
// another format's file (FLAC, Ogg, MP4...): its tags are not written.
bool holdsAnotherFormat(const std::string& path);

// The file a path names, through any symbolic links, so that a save changes
// the file and keeps the link.
std::string linkTarget(const std::string& path);

} // namespace zentrio
