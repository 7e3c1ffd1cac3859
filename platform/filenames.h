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

// True when the bytes are valid UTF-8 text.
bool isValidUtf8(std::string_view bytes);

// True when the name's last four bytes, lower-cased, are ".mp3".
bool hasMp3Suffix(std::string_view name);

} // namespace zentrio
