#pragma once

#include "tags/write/tagvalues.h"

#include <QByteArray>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

// Small files of the other audio formats, made by the tests: the least
// container each format's reader takes (no real audio), then tagged through
// TagLib as a tagger would tag it.
namespace testsupport {

// "flac", "ogg" (Vorbis), "opus", "m4a", "wav" or "aiff": the bytes of an
// untagged file of that format, with `audioBytes` bytes of audio-like data.
QByteArray untaggedFile(const std::string& format, int audioBytes = 600);

// A FLAC file laid out by hand: STREAMINFO, a Vorbis comment of these
// entries in this order ("TITLE=Song"), a picture block, `padding` bytes of
// padding (none: no padding block), then `audioBytes` of audio.
QByteArray flacFile(const std::vector<std::string>& comments, int padding, int audioBytes = 600);

// An Ogg stream laid out by hand, as Ogg's own library lays one out: the
// identification header ("ogg": Vorbis, "opus": Opus) alone on the first
// page, then the comment of these entries in this order ("TITLE=Song") and
// Vorbis' setup header in pages of at most 255 segments (`pageEach`: the
// setup on a page of its own), then `audioPages` pages of audio, the first
// of them opening with "AUDIO". Every page's granule position, flags and CRC
// are as a player expects them.
QByteArray oggFile(const std::string& codec, const std::vector<std::string>& comments, bool pageEach = false,
    int audioPages = 3);

// The bytes of a page holding these whole packets (each under 255 bytes).
QByteArray oggPage(const std::vector<QByteArray>& packets, quint32 sequence, char flags, quint32 serial = 0x5A454E54);

// An ID3v2.3 tag with a title alone, as some programs put before "fLaC".
QByteArray id3v2Prefix(const QByteArray& title);

// An MP4 file whose item list holds these atoms as they are ("gnre"...).
QByteArray mp4WithItems(const QByteArray& items);

// An MP4 item atom: its name and one "data" atom of this type and value.
QByteArray mp4Item(const char* name, int type, const QByteArray& value);

// An MP4 file laid out by hand: ftyp, then moov (a movie header, one track
// whose chunk offset table points at the first audio byte, udta/meta/ilst
// holding `items`, unless `items` is null, and a free atom of `innerFree`
// bytes right after ilst), a free atom of `freeAfter` bytes, and mdat with
// `audioBytes` of audio. With `moovLast` the audio comes first, as in a
// file written without "fast start"; with `co64` the offsets are 64-bit;
// with `plainMeta` meta lacks the version and flags of a full atom.
struct Mp4Layout {
    QByteArray items;
    int innerFree = 0;
    int freeAfter = 0;
    bool moovLast = false;
    bool co64 = false;
    bool plainMeta = false;
    int audioBytes = 600;
};
QByteArray mp4File(const Mp4Layout& layout);

// Sets the file's properties (TagLib's names: "TITLE", "TRACKNUMBER"...,
// each with its values) and saves it. False when TagLib cannot.
bool tagFile(const std::string& path, const std::map<std::string, std::vector<std::string>>& properties);

// Values a test names as "field=text" ("song=New", "track=5"): the field
// by its command-line name (song, artist, album, albumartist, track, disc,
// year, genre).
zentrio::TagValues namedValues(const QStringList& values);

} // namespace testsupport
