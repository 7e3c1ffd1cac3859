#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

// The ID3v1 trailer rule. A 256-byte window that ends one byte before the
// end of the file is searched for the marker "TAG" in any letter case, and
// song, artist and album are cut at fixed distances from the marker.
namespace zentrio {

inline constexpr std::size_t kWindowSize = 256;
inline constexpr int kStandardMarkerPosition = 130; // a record in the file's last 128 bytes
inline constexpr int kFieldWidth = 30;

enum class Field { Song = 3, Artist = 33, Album = 63 };

struct TagFields {
    bool found = false; // the marker was found
    QString song;
    QString artist;
    QString album;
    // Further fields for the own naming pattern, as the tag gives them
    // (numbers as digits, empty where the tag has none).
    QString track;
    QString tracks; // the total of "3/12"
    QString disc;
    QString discs;
    QString year;
    QString genre;
    QString albumArtist;
};

// Splits a number pair such as "3/12" into its number and its total.
void splitNumberPair(const QString& text, QString& number, QString& total);

// The year, track and genre of an ID3v1 record whose marker stands at
// 1-based position p of `bytes` (the trailer window and the file's last
// byte): the year at p+93, the ID3v1.1 track at p+126 when p+125 is 0, and
// the genre byte at p+127 by the standard genre list.
void addRecordExtras(TagFields& tag, std::string_view bytes, int p);

// The window of a file (offsets L-257 to L-2) and the file's length L;
// nullopt when the file cannot be read or is 256 bytes long or shorter.
struct TrailerWindow {
    std::string bytes;
    std::int64_t fileLength = 0;
};
std::optional<TrailerWindow> readTrailerWindow(const std::string& path);

// 1-based window position of the marker, 0 when there is none. A marker at
// the standard place (position 130) wins; otherwise the first match counts,
// except the "TAG" inside an APEv2 signature "APETAGEX".
int findMarker(std::string_view window);

// A field at marker position p (not 0): its 30 window positions (fewer near
// the window's end), decoded, cut at the first NUL, trimmed of spaces.
QString fieldAt(std::string_view window, int p, Field field);

TagFields fieldsOf(std::string_view window);

// The text without the blanks at either end; every tag field is shown so.
QString trimSpaces(const QString& text);

// Reads the window of a file and its fields; nullopt when the read fails.
std::optional<TagFields> readTag(const std::string& path);

} // namespace zentrio
