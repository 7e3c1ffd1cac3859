#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// ID3v2 tags made by the tests: versions 2.3 and 2.4 rendered by TagLib,
// version 2.2 (which TagLib reads but no longer writes) built byte by byte.
namespace testsupport {

enum class TextEncoding { Latin1, Utf16, Utf8 };

struct Id3v2Content {
    Id3v2Content(QStringList t, QStringList ar, QStringList al, TextEncoding e = TextEncoding::Utf16)
        : titles(std::move(t)), artists(std::move(ar)), albums(std::move(al)), encoding(e)
    {
    }
    QStringList titles;
    QStringList artists;
    QStringList albums;
    TextEncoding encoding = TextEncoding::Utf16;
    int pictureBytes = 0; // a front-cover APIC frame of this size, when not 0
    bool pictureFirst = false; // the picture before the text frames, as some taggers write it
    QString track; // a TRCK frame, when not empty
    QList<QPair<QByteArray, QString>> frames; // further text frames: id and text (2.2: id and whole body)
};

// A whole tag of major version 2, 3 or 4.
QByteArray id3v2(int version, const Id3v2Content& content);

} // namespace testsupport
