#pragma once

#include "tags/trailer.h"

#include <QString>

namespace zentrio {

// The seven name patterns, numbered like the pattern buttons Option1..Option7.
enum class Pattern { Song = 1, ArtistSong, ArtistAlbumSong, AlbumSong, SongParenArtist, SongByArtist, Track };

struct NameOptions {
    Pattern pattern = Pattern::Song;
    QString separator = QStringLiteral(" - ");
    bool numbered = true; // "numbered": a prefix of at least two digits and "-"
    bool foldO = true; // "no õ": Õ to Ö, ô and õ to ö
    bool noAccent = true; // "no accent": Hungarian accented letters to plain ones
    bool noSpace = false; // "no space": blanks to "_"
};

// The longest file name the file system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// The new name of a file from its tag fields; `number` is the file's number
// for the prefix and the "TRACK01" pattern. Every character pass replaces one
// character by one, so only the pattern and the prefix change the length;
// a name longer than kMaxNameBytes is cut before its ".mp3" to fit. With
// numbering off, a leading "." becomes "_", so the file is never hidden.
QString composeNewName(const TagFields& tag, const NameOptions& options, int number);

// `kiegeszit`: pads text with blanks on the right to width characters, or
// cuts it to its first width characters.
QString kiegeszit(const QString& text, int width);

} // namespace zentrio
