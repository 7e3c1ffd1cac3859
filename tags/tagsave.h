#pragma once

#include "platform/fsops.h"
#include "platform/patchfile.h"
#include "tags/tagsource.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <utility>
#include <vector>

namespace zentrio {

inline constexpr int kRecordSize = 128;

struct TagEdit {
    QString song;
    QString artist;
    QString album;
    // Further ID3v2 text frames to set, by id ("TRCK", "TDRC"...); an empty
    // text removes the frame. The ID3v1 record has no room for them.
    std::vector<std::pair<std::string, QString>> frames;
};

// The 128-byte ID3v1 record: "TAG", song, artist and album fitted to 30
// characters, the four-digit year, a blank comment and genre 12.
QByteArray buildTagRecord(const TagEdit& edit, int year);

// The writes of a save with the ID3v2 switch on when the new tag fits in
// the old one's room: the tag region and the ID3v1 record, for fs::patchFiles.
// nullopt when the tag must grow or the file cannot be read.
std::optional<fs::FilePatches> inPlaceTagSave(const std::string& path, const TagEdit& edit, int year);
// The save of both tags into a new file that replaces the old one (the
// tag must grow); never for a file with other hard links.
bool saveGrownTags(const std::string& path, const TagEdit& edit, int year);

// The bytes at the file's start that a tag rewrite replaces: its ID3v2 tag
// and any tags right after it; 0 without a tag.
std::size_t id3v2RegionOf(const fs::FileReader& file);

// The file a path names, through any symbolic links, so that a save changes
// the file and keeps the link.
std::string linkTarget(const std::string& path);
// True when the file has more than one hard link: replacing it by a new
// file would split it in two.
bool hasOtherLinks(const std::string& path);

// Where an in-place tag save keeps the old bytes until it is done; a start
// puts back what an interrupted save left there.
std::string tagCopyFolder();

// Writes a fresh record into the file: in place over a record that sits in
// the file's last 128 bytes, otherwise appended, so audio is never
// overwritten. A file that cannot be read or written is left as it was.
// With TagSource::Id3v2First the file's ID3v2 tag takes the three texts too:
// in place when it fits in the old tag's room (its old bytes copied to
// tagCopyFolder() first), otherwise in a new file written beside the old one
// and renamed over it.
bool saveTag(const std::string& path, const TagEdit& edit, int year, TagSource source = TagSource::Id3v1);

} // namespace zentrio
