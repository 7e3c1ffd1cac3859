#pragma once

#include <QString>

// The genre names of an ID3v1 record's genre byte, the list every reader
// of the record shares (as TagLib spells it): 0 "Blues" to 191
// "Psybient"; the other bytes name no genre.
namespace zentrio {

inline constexpr int kId3v1GenreCount = 192;

// The name of genre byte `code`, empty when it names none.
const QString& id3v1GenreName(int code);

} // namespace zentrio
