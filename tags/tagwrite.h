#pragma once

#include "tags/tagsource.h"

#include <QString>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zentrio {

// The tag fields a command sets in many files at once.
enum class TagField { Song, Artist, Album, Track, Disc, Year, Genre, AlbumArtist };
using TagValues = std::map<TagField, QString>; // a field not in the map keeps its value

// True for the fields the ID3v1 record holds as text (song, artist, album);
// with the ID3v2 switch off only these can be written.
bool id3v1Holds(TagField field);

class TagJournal;

struct TagBatchResult {
    int written = 0;
    int failed = 0;
};

// Writes each file's values (paths as raw bytes) as "save tag" writes its
// boxes: with TagSource::Id3v1 the designed ID3v1 record (song, artist and
// album, the others kept from the file); with TagSource::Id3v2First every
// field goes into the ID3v2 tag too, in place when it fits. The old tags of
// them all are recorded in the journal first, synced once; a file that
// cannot be written is left as it was, counted, and the batch goes on.
TagBatchResult writeTagBatch(const std::vector<std::pair<std::string, TagValues>>& files, TagSource source, int year,
    const TagJournal& journal);

} // namespace zentrio
