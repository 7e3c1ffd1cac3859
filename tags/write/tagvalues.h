#pragma once

#include <QString>

#include <map>

namespace zentrio {

// The tag fields a command sets in many files at once.
enum class TagField { Song, Artist, Album, Track, Disc, Year, Genre, AlbumArtist };
using TagValues = std::map<TagField, QString>; // a field not in the map keeps its value

// True for the fields the ID3v1 record holds as text (song, artist, album);
// with the ID3v2 switch off the windows write only these.
bool id3v1Holds(TagField field);

} // namespace zentrio
