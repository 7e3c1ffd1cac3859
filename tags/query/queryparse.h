#pragma once

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The query language every command filters its files by. Terms separated by
// blanks must all hold; terms joined by "," form one term that holds when
// any of them does ("artist:a,artist:b year:1990.." is (a or b) and a year
// from 1990). A term:
//   field:text    the field contains the text, whatever the case and accents
//   field:=text   the field is exactly the text
//   field::regex  a regular expression finds a match in the field
//   field:        the field is empty
//   year:1990..1999, track:..9, disc:2.., year:1995   numbers, as numbers
//   -term         the term does not hold
//   text          any of artist, album, song and album artist contains it
// The fields are the naming pattern's (song, artist, albumartist...) and
// where the file lies: path and folder (absolute), name, ext and format.
// A value with blanks, "," or ":" is quoted: artist:"Earth, Wind & Fire";
// "" inside quotes is one quote.
namespace zentrio {

enum class QueryField {
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
    Path, // the file's absolute path
    Name, // its name
    Folder, // the absolute path of the folder it lies in
    Extension, // its name's extension, without the dot
    Format, // its format as --ext names it: mp3, flac, m4a...
    AnyText, // no field named: artist, album, song or album artist
};

// Track, disc, their totals and year: the fields compared as numbers.
bool isNumberQueryField(QueryField field);

struct QueryTerm {
    enum class Test { Contains, Exact, Regex, Empty, Number } test = Test::Contains;
    QueryField field = QueryField::AnyText;
    bool negated = false;
    QString text; // Contains: folded (querymatch.h); Exact: as given
    QRegularExpression regex; // compiled once, here
    std::optional<std::int64_t> low, high; // Number: the bounds taken, either open
};

// One term of the query: holds when any of its alternatives does.
using QueryAlternatives = std::vector<QueryTerm>;

struct Query {
    std::vector<QueryAlternatives> all; // every one must hold
};

struct QueryError {
    enum class Reason {
        Empty, // nothing but blanks
        UnknownField,
        UnclosedQuote,
        MissingTerm, // nothing after "-", before or after ","
        BadRegex,
        BadRange, // ".." with no number at either side
        EmptyRange, // its start past its end
        NumberTooLarge,
    } reason
        = Reason::Empty;
    qsizetype position = 0; // 0-based, the character where the fault begins
    QString detail = {}; // the unknown field's name, the regular expression's fault
};

struct ParsedQuery {
    Query query;
    std::optional<QueryError> error;
    bool ok() const { return !error; }
};

ParsedQuery parseQuery(const QString& text);

// "the query cannot be read at character 7: unknown field "artst"".
QString queryErrorText(const QueryError& error);

// The field names a query takes (the naming pattern's, and "format"), in
// the order the help lists them; the field a name gives, in any letter case.
QStringList queryFieldNames();
std::optional<QueryField> queryFieldNamed(const QString& name);

} // namespace zentrio
