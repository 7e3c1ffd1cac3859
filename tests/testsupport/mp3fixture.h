#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

// Small MP3-like files made by the tests, so each test shows the bytes it depends on.
namespace testsupport {

// A 128-byte ID3v1 record: "TAG", the three fields padded with `pad` to 30
// bytes, year "2001", a blank comment and genre 12.
QByteArray id3v1(const QByteArray& song, const QByteArray& artist, const QByteArray& album, char pad = ' ',
    const QByteArray& marker = "TAG");

// Audio-like bytes that never spell the marker.
QByteArray audio(int size);

// Writes the bytes to folder/name (raw bytes, any name) and gives the path.
std::string writeFile(const std::string& folder, const std::string& name, const QByteArray& bytes);

// audio(300) followed by a record with these fields.
std::string writeTagged(const std::string& folder, const std::string& name, const QByteArray& song,
    const QByteArray& artist = "Artist", const QByteArray& album = "Album");

QByteArray readFile(const std::string& path);
// Every entry of a folder, hidden ones included, sorted by bytes.
std::vector<std::string> everyEntry(const std::string& folder);
bool exists(const std::string& path);

} // namespace testsupport
