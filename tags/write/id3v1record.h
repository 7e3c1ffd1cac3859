#pragma once

#include "tags/write/tagvalues.h"

#include <QByteArray>
#include <QString>

#include <string>

// The 128-byte ID3v1 record: "TAG", song, artist and album (30 bytes each,
// code page 1252), year (4), comment (30; in ID3v1.1 a zero and the track
// number in its last two bytes) and genre (1).
namespace zentrio {

// What "save tag" writes: the three boxes' texts.
struct TagEdit {
    QString song;
    QString artist;
    QString album;
};

// The record "save tag" writes: the three texts fitted to 30 characters,
// the four-digit year, a blank comment and genre 12.
QByteArray buildTagRecord(const TagEdit& edit, int year);

// The record with the named fields set and every other byte as it was: the
// texts fitted to 30 characters; a year of four digits; a track number of
// 1 to 255 in ID3v1.1's place when the comment leaves those two bytes free;
// a genre by its name in the standard list. A value the record cannot hold
// leaves its field as it was.
std::string recordWithValues(std::string record, const TagValues& values);

// What the record cannot hold of this value, as the kind of value it can
// ("a year of four digits"); empty when it holds it (text fields are cut to
// their 30 bytes, as every record's are).
QString recordCannotHold(TagField field, const QString& value);

} // namespace zentrio
