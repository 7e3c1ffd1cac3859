#pragma once

#include <QString>
#include <string>
#include <string_view>

// File names travel between the disk and the program as raw bytes. These
// helpers turn them into text and back without losing anything: bytes that
// are not valid UTF-8 become the lone surrogates U+DC80..U+DCFF and come back
// as the same bytes, so a name the system cannot decode still round-trips.
namespace zentrio {

QString nameToText(std::string_view bytes);
std::string textToName(const QString& text);

// The same name made fit for showing: escaped bytes are shown as U+FFFD.
QString nameForDisplay(std::string_view bytes);

// Joins a folder and a name with one separator ("/" + "a" or "/x" + "a").
std::string joinPath(const std::string& folder, const std::string& name);

// The folder with the separator appended unless it already ends in one.
std::string folderPath(const std::string& folder);

// The folder a path lies in: "/a/b" gives "/a", "/a" gives "/", and a name
// without any "/" gives ".", as dirname does.
std::string parentOf(std::string_view path);
// The last component of a path: "/a/b" gives "b", a name gives itself.
std::string baseOf(std::string_view path);

// True for an absolute path in its one plain spelling: it begins with "/",
// has no empty component ("//", a trailing "/"), no "." or "..", no NUL.
bool isPlainAbsolutePath(std::string_view path);

// A key under which two spellings of a name that a volume ignoring letter
// case takes for one (exFAT and NTFS upper-case names to compare them;
// "Beatles" and "BEATLES", "i" and "I", "ı" and "I") are equal: the text
// upper-cased, then case-folded. It may make names equal that such a volume
// keeps apart ("ß" and "ss"), never the other way round.
std::string caselessKey(std::string_view path);

// A key under which two spellings of a name that differ only in Unicode
// normalisation ("Café" composed and "Cafe" with a combining accent) are
// equal: valid UTF-8 in its composed form (NFC); other bytes as they are.
std::string composedKey(std::string_view path);

// True when the bytes are valid UTF-8 text.
bool isValidUtf8(std::string_view bytes);
// True when every byte is ASCII: such a name is its own composed form.
bool isAsciiName(std::string_view bytes);

// True when the name's last four bytes, lower-cased, are ".mp3".
bool hasMp3Suffix(std::string_view name);

} // namespace zentrio
