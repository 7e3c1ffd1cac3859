#pragma once

#include "rename/naming/pattern.h"
#include "tags/read/trailer.h"

#include <QString>

#include <memory>
#include <optional>

namespace zentrio {

// The seven name patterns, numbered like the pattern buttons Option1..Option7,
// and the user's own pattern.
enum class Pattern { Song = 1, ArtistSong, ArtistAlbumSong, AlbumSong, SongParenArtist, SongByArtist, Track, Own };

struct NameOptions {
    Pattern pattern = Pattern::Song;
    QString separator = QStringLiteral(" - ");
    bool numbered = true; // "numbered": a prefix of at least two digits and "-"
    bool foldO = true; // "no õ": Õ to Ö, ô and õ to ö
    bool noAccent = true; // "no accent": Hungarian accented letters to plain ones
    bool noSpace = false; // "no space": blanks to "_"
    // The window's passes as designed; the command line keeps "&" (valid on
    // every file system it writes to) and folds every accented Latin or
    // Greek letter, where the window folds only the letters of its table.
    bool ampersandToN = true; // "&" becomes "n"
    bool foldEveryAccent = false; // with noAccent: letters beyond the table lose their accents too
    // With Pattern::Own: the parsed pattern, and the widths of its automatic
    // numbers for the run (see withRunWidths). The pattern places numbers
    // itself, so "numbered" adds no prefix then.
    std::shared_ptr<const ParsedPattern> own;
    NumberWidths widths;
    // The ending a new file name gets, by any pattern: the file's own
    // extension, lower-cased (".flac" for a FLAC file; see forFile in
    // rename/naming/foldernames.h).
    QString extension = QStringLiteral(".mp3");
};

// The options with the own pattern's number widths decided for a run over
// these tags (the files being named); other patterns need none.
NameOptions withRunWidths(NameOptions options, const std::vector<const TagFields*>& tags);

// The longest file name the file system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// The new name of a file from its tag fields; `number` is the file's number
// for the prefix and the "TRACK01" pattern. Every character pass replaces one
// character by one, so only the pattern and the prefix change the length;
// a name longer than kMaxNameBytes is cut before its ending (the options'
// extension, ".mp3" by default) to fit. With
// numbering off, a leading "." becomes "_", so the file is never hidden.
// The own pattern's name is trimmed of blanks, then takes the same passes;
// it is empty when the pattern gives nothing, and the file is skipped then.
QString composeNewName(const TagFields& tag, const NameOptions& options, int number);

// One component of a path composed by the own pattern ("Artist",
// "1999 - Album", "03 - Song"): blanks at either end trimmed, the same
// character passes as a name, a leading "." made "_", and cut at a character
// boundary to kMaxNameBytes, keeping the options' extension when it is the
// file's own name (`fileName`: the text is the name without it). Empty for
// an empty text.
QString composePathComponent(const QString& text, const NameOptions& options, bool fileName);

// `kiegeszit`: pads text with blanks on the right to width characters, or
// cuts it to its first width characters (fittedToWidth, which the ID3v1
// record's fields use too).
QString kiegeszit(const QString& text, int width);

} // namespace zentrio
