#pragma once

#include "tags/read/trailer.h"

#include <QString>

#include <optional>
#include <string_view>
#include <vector>

// The own naming pattern: text with fields in braces ("{track} - {song}"),
// fallbacks tried in turn while a field is empty ("{albumartist|artist}",
// "{albumartist|"Various Artists"}"), optional parts in brackets that vanish
// when a field inside is empty, case and width modifiers ("{artist:upper}",
// "{track:3}"), and "\" to take the next character literally. Parsed once,
// then formatted for each file.
namespace zentrio {

enum class PatternField {
    Song,
    Artist,
    Album,
    Track,
    Tracks,
    Disc,
    Discs,
    Year,
    Genre,
    AlbumArtist,
    Number, // the running number the run gives the file
    Separator, // the separator box's text
    Ignore, // in a file name: a part to skip
    // Where a listed file lies, as the listing shows it:
    Path,
    Name, // the file's name
    Folder, // the folder it lies in
    Extension, // its name's extension, without the dot
};

// A pattern composes names, is matched against them to fill tags, or
// prints a listing of files (the naming fields and where each file lies).
enum class PatternUse { Naming, Matching, Listing };

// A field's name in a pattern and the interface-text key of the line that
// says what it gives.
struct PatternFieldName {
    const char* name;
    PatternField field;
    const char* descriptionKey;
};
// The fields a pattern of this use may hold.
std::vector<PatternFieldName> patternFieldNames(PatternUse use = PatternUse::Naming);

// Track, disc, their totals and {n}: the fields that take a width.
bool isNumberField(PatternField field);

enum class LetterCase { AsIs, Upper, Lower, Title };

struct PatternPart {
    enum class Kind { Literal, Field, Optional } kind = Kind::Literal;
    QString text; // a literal's text
    PatternField field = PatternField::Song;
    LetterCase letterCase = LetterCase::AsIs;
    int width = 0; // zeros to this width, when not 0
    std::vector<PatternPart> parts; // an optional part's contents; a field's fallbacks (fields or literals)
};

struct PatternError {
    enum class Reason {
        UnknownField,
        UnknownModifier,
        UnclosedBrace,
        UnclosedBracket,
        StrayBrace, // "}" without "{"
        StrayBracket, // "]" without "["
        TrailingBackslash,
        TooLong, // more than kMaxPatternLength characters; the position is the first one past it
        EmptyPart, // nothing between two "/" of a pattern matched against folders too
        FallbackInMatch, // "|" in a pattern read back from names: which field would the text fill?
        UnclosedQuote, // a fallback's text without its closing '"'
        BlankPart, // a folder or name of blanks alone
        DotPart, // "." or ".." as a folder or name
    } reason
        = Reason::UnknownField;
    qsizetype position = 0; // 0-based, the character where the fault begins
    QString name = {}; // the name of an unknown field
};

struct ParsedPattern {
    std::vector<PatternPart> parts;
    std::optional<PatternError> error;
    bool ok() const { return !error && !parts.empty(); }
};

// The longest pattern read, in characters: far beyond any real pattern (a
// file name has at most 255 bytes), and it bounds the parser's nesting and
// the matcher's table.
constexpr qsizetype kMaxPatternLength = 500;

// A naming pattern's own text may end in ".mp3": the extension every name
// gets anyway is not doubled (a listing prints what it is given).
ParsedPattern parsePattern(const QString& text, PatternUse use = PatternUse::Naming);

// Where each part of a pattern lies that a "/" neither escaped nor inside
// braces ends: [start, end) of each, in order (one part when there is none).
std::vector<std::pair<qsizetype, qsizetype>> slashParts(const QString& text);

// The fields a file name (without ".mp3") gives by a matching pattern: each
// text field takes the shortest text that lets the rest match, a number
// field (track, disc, year...) the longest run of digits that does; an
// optional part is matched when it can be. "{ignore}" parts and modifiers
// are matched but give nothing. With `underscoreIsBlank`, "_" counts as a
// blank in the name and in the pattern's text alike. nullopt when the name
// does not fit the pattern. The time taken grows with the pattern's length
// times the name's, whatever the pattern.
using MatchedFields = std::vector<std::pair<PatternField, QString>>;
std::optional<MatchedFields> matchPattern(
    const std::vector<PatternPart>& parts, const QString& name, bool underscoreIsBlank = false);

// The same for a file name on disk (raw bytes, ".mp3" taken off): a name
// that is not valid UTF-8 is read by code page 1252, as ID3v1 text is.
std::optional<MatchedFields> matchFileName(
    const std::vector<PatternPart>& parts, std::string_view name, bool underscoreIsBlank = false);

// How wide the automatic track and disc numbers are for one run: as wide
// as the widest number among the files being named, tracks never narrower
// than two digits.
struct NumberWidths {
    int track = 2;
    int disc = 1;
};
NumberWidths widestNumbers(const std::vector<const TagFields*>& tags);

// Where a listed file lies, each as the listing shows it, for {path},
// {name}, {folder} and {ext}: taken as given (no pass changes them).
struct ListedPlace {
    QString path;
    QString name;
    QString folder;
    QString extension;
};

// What a pattern needs besides the tag.
struct PatternContext {
    int number = 0;
    QString separator;
    NumberWidths widths;
    bool tagText = false; // the values as the tag holds them, for a listing rather than a name
    const ListedPlace* place = nullptr;
};

// The pattern's text for one file. A field's value never makes a folder or
// holds a control character: "/" and "\" become "-", characters below 0x20
// are dropped. With `tagText` "/" and "\" stay, and a control character
// becomes a blank, so that a record stays one line.
QString formatPattern(const std::vector<PatternPart>& parts, const TagFields& tag, const PatternContext& context);

// True when the field part (or one of its fallbacks) gives a value from
// the tag, whatever its width.
bool fieldHasValue(const PatternPart& field, const TagFields& tag);

} // namespace zentrio
