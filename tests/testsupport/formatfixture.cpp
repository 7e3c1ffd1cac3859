#include "testsupport/formatfixture.h"

#include "testsupport/mp3fixture.h"

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <QtEndian>

#include <algorithm>
#include <array>

namespace testsupport {

namespace {

    QByteArray be32(quint32 value)
    {
        QByteArray bytes(4, '\0');
        qToBigEndian(value, bytes.data());
        return bytes;
    }

    QByteArray le32(quint32 value)
    {
        QByteArray bytes(4, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    }

    QByteArray le16(quint16 value)
    {
        QByteArray bytes(2, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    }

    QByteArray box(const char* type, const QByteArray& body) { return be32(8 + body.size()) + type + body; }

    quint32 oggCrc(const QByteArray& page)
    {
        static const auto table = [] {
            std::array<quint32, 256> t {};
            for (quint32 i = 0; i < 256; ++i) {
                quint32 r = i << 24;
                for (int k = 0; k < 8; ++k)
                    r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
                t[i] = r;
            }
            return t;
        }();
        quint32 crc = 0;
        for (const char c : page)
            crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(c)) & 0xFF];
        return crc;
    }

    QByteArray le64(quint64 value)
    {
        QByteArray bytes(8, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    }

    QByteArray rawOggPage(const QByteArray& segments, const QByteArray& body, quint32 sequence, char flags,
        quint32 serial)
    {
        // No packet ends on a page whose segments are all 255 bytes long.
        const bool ends = std::any_of(segments.begin(), segments.end(), [](char c) { return quint8(c) < 255; });
        QByteArray page = QByteArray("OggS") + '\0' + flags + le64(ends ? 0 : ~quint64(0)) + le32(serial)
            + le32(sequence) + QByteArray(4, '\0') + char(segments.size()) + segments + body;
        const QByteArray crc = le32(oggCrc(page));
        page.replace(22, 4, crc);
        return page;
    }

    // The packets in pages of up to 255 segments, from page `sequence` on.
    QByteArray oggPages(const std::vector<QByteArray>& packets, quint32& sequence)
    {
        QByteArray segments;
        QByteArray body;
        for (const QByteArray& packet : packets) {
            segments += QByteArray(packet.size() / 255, char(255)) + char(packet.size() % 255);
            body += packet;
        }
        QByteArray pages;
        bool continued = false;
        for (qsizetype at = 0, bytes = 0; at < segments.size(); at += 255) {
            const QByteArray page = segments.mid(at, 255);
            qsizetype size = 0;
            for (const char c : page)
                size += quint8(c);
            pages += rawOggPage(page, body.mid(bytes, size), sequence++, continued ? 0x01 : 0, 0x5A454E54);
            bytes += size;
            continued = quint8(page.back()) == 255;
        }
        return pages;
    }

    QByteArray flac(int audioBytes)
    {
        QByteArray info(34, '\0');
        info[0] = 0x10; // 4096-sample blocks
        info[2] = 0x10;
        info[10] = 0x0A; // 44100 Hz, 2 channels, 16 bits
        info[11] = char(0xC4);
        info[12] = 0x42;
        info[13] = char(0xF0);
        return QByteArray("fLaC") + char(0x80) + QByteArray("\0\0\x22", 3) + info + "\xFF\xF8" + audio(audioBytes);
    }

    QByteArray vorbis(int audioBytes)
    {
        const QByteArray identity = QByteArray("\x01vorbis") + le32(0) + char(2) + le32(44100) + le32(0) + le32(128000)
            + le32(0) + char(0xB8) + char(1);
        const QByteArray comments = QByteArray("\x03vorbis") + le32(4) + "test" + le32(0) + char(1);
        const QByteArray setup = QByteArray("\x05vorbis") + audio(40);
        return oggPage({ identity }, 0, 0x02) + oggPage({ comments, setup }, 1, 0)
            + oggPage({ audio(std::min(audioBytes, 250)) }, 2, 0x04);
    }

    QByteArray opus(int audioBytes)
    {
        const QByteArray head = QByteArray("OpusHead") + char(1) + char(2) + le16(312) + le32(48000) + le16(0) + char(0);
        const QByteArray tags = QByteArray("OpusTags") + le32(4) + "test" + le32(0);
        return oggPage({ head }, 0, 0x02) + oggPage({ tags }, 1, 0)
            + oggPage({ audio(std::min(audioBytes, 250)) }, 2, 0x04);
    }

    QByteArray mp4(int audioBytes, const QByteArray& items = {})
    {
        QByteArray header(100, '\0');
        header.replace(12, 4, be32(1000)); // time scale
        header.replace(16, 4, be32(1000)); // duration
        header.replace(20, 4, be32(0x00010000)); // rate 1.0
        header[24] = 1; // volume 1.0
        header.replace(36, 4, be32(0x00010000)); // the identity matrix
        header.replace(52, 4, be32(0x00010000));
        header.replace(68, 4, be32(0x40000000));
        header.replace(96, 4, be32(2)); // next track
        QByteArray movie = box("mvhd", header);
        if (!items.isEmpty()) {
            const QByteArray handler = box("hdlr", QByteArray(8, '\0') + "mdirappl" + QByteArray(9, '\0'));
            movie += box("udta", box("meta", QByteArray(4, '\0') + handler + box("ilst", items)));
        }
        return box("ftyp", QByteArray("M4A ") + be32(0) + "M4A mp42isom") + box("moov", movie)
            + box("mdat", audio(audioBytes));
    }

    QByteArray wav(int audioBytes)
    {
        const QByteArray format = le16(1) + le16(2) + le32(44100) + le32(176400) + le16(4) + le16(16);
        const QByteArray body = QByteArray("WAVE") + "fmt " + le32(16) + format + "data" + le32(audioBytes)
            + audio(audioBytes);
        return QByteArray("RIFF") + le32(body.size()) + body;
    }

    QByteArray aiff(int audioBytes)
    {
        // 2 channels, 16 bits, 44100 Hz as an 80-bit extended number.
        const QByteArray common = QByteArray("\0\2", 2) + be32(audioBytes / 4) + QByteArray("\0\x10", 2)
            + QByteArray("\x40\x0E\xAC\x44\0\0\0\0\0\0", 10);
        const QByteArray sound = be32(0) + be32(0) + audio(audioBytes);
        const QByteArray body = QByteArray("AIFF") + "COMM" + be32(common.size()) + common + "SSND" + be32(sound.size())
            + sound;
        return QByteArray("FORM") + be32(body.size()) + body;
    }

} // namespace

QByteArray untaggedFile(const std::string& format, int audioBytes)
{
    if (format == "flac")
        return flac(audioBytes);
    if (format == "ogg")
        return vorbis(audioBytes);
    if (format == "opus")
        return opus(audioBytes);
    if (format == "m4a")
        return mp4(audioBytes);
    if (format == "wav")
        return wav(audioBytes);
    if (format == "aiff")
        return aiff(audioBytes);
    return {};
}

QByteArray flacFile(const std::vector<std::string>& comments, int padding, int audioBytes)
{
    const auto block = [](int type, bool last, const QByteArray& body) {
        const int size = body.size();
        return QByteArray(1, char(type | (last ? 0x80 : 0))) + char((size >> 16) & 0xFF) + char((size >> 8) & 0xFF)
            + char(size & 0xFF) + body;
    };
    const QByteArray bare = flac(0);
    const QByteArray info = bare.mid(8, 34);
    QByteArray comment = le32(6) + "vendor" + le32(quint32(comments.size()));
    for (const std::string& entry : comments)
        comment += le32(quint32(entry.size())) + QByteArray::fromStdString(entry);
    const QByteArray picture = be32(3) + be32(10) + "image/jpeg" + be32(0) + QByteArray(16, '\0') + be32(5) + "\xFF\xD8jpg";
    return QByteArray("fLaC") + block(0, false, info) + block(4, false, comment) + block(6, padding < 0, picture)
        + (padding < 0 ? QByteArray() : block(1, true, QByteArray(padding, '\0'))) + "\xFF\xF8" + audio(audioBytes);
}

QByteArray oggPage(const std::vector<QByteArray>& packets, quint32 sequence, char flags, quint32 serial)
{
    QByteArray segments;
    QByteArray body;
    for (const QByteArray& packet : packets) {
        segments += char(packet.size());
        body += packet;
    }
    return rawOggPage(segments, body, sequence, flags, serial);
}

QByteArray oggFile(const std::string& codec, const std::vector<std::string>& comments, bool pageEach, int audioPages)
{
    const bool opus = codec == "opus";
    const QByteArray first = untaggedFile(codec, 0);
    const QByteArray identification = first.mid(28, quint8(first[27]));
    QByteArray comment = QByteArray(opus ? "OpusTags" : "\x03vorbis") + le32(6) + "vendor" + le32(quint32(comments.size()));
    for (const std::string& entry : comments)
        comment += le32(quint32(entry.size())) + QByteArray::fromStdString(entry);
    if (!opus)
        comment += char(1); // the framing bit
    const QByteArray setup = QByteArray("\x05vorbis") + audio(300);
    quint32 sequence = 1;
    QByteArray file = oggPage({ identification }, 0, 0x02);
    if (opus)
        file += oggPages({ comment }, sequence);
    else if (pageEach)
        file += oggPages({ comment }, sequence) + oggPages({ setup }, sequence);
    else
        file += oggPages({ comment, setup }, sequence);
    for (int i = 0; i < audioPages; ++i) {
        const QByteArray packet = (i == 0 ? QByteArray("AUDIO") : QByteArray()) + audio(200 + i);
        file += oggPage({ packet }, sequence++, i + 1 == audioPages ? 0x04 : 0);
    }
    return file;
}

QByteArray id3v2Prefix(const QByteArray& title)
{
    const QByteArray frame = QByteArray("TIT2") + be32(quint32(title.size() + 1)) + QByteArray(2, '\0') + '\0' + title;
    const quint32 size = quint32(frame.size());
    QByteArray syncsafe(4, '\0');
    for (int i = 0; i < 4; ++i)
        syncsafe[i] = char((size >> (21 - 7 * i)) & 0x7F);
    return QByteArray("ID3\x03\0\0", 6) + syncsafe + frame;
}

QByteArray mp4WithItems(const QByteArray& items) { return mp4(600, items); }

QByteArray mp4File(const Mp4Layout& layout)
{
    const QByteArray head = box("ftyp", QByteArray("M4A ") + be32(0) + "M4A mp42isom");
    const QByteArray handler = box("hdlr", QByteArray(8, '\0') + "mdirappl" + QByteArray(9, '\0'));
    const QByteArray meta = (layout.plainMeta ? QByteArray() : QByteArray(4, '\0')) + handler + box("ilst", layout.items)
        + (layout.innerFree > 0 ? box("free", QByteArray(layout.innerFree - 8, '\0')) : QByteArray());
    const QByteArray audioAtom = box("mdat", audio(layout.audioBytes));
    const auto movie = [&](quint64 offset) {
        const QByteArray entry = layout.co64 ? be32(quint32(offset >> 32)) + be32(quint32(offset)) : be32(quint32(offset));
        const QByteArray table = box(layout.co64 ? "co64" : "stco", be32(0) + be32(1) + entry);
        const QByteArray track = box("trak", box("mdia", box("minf", box("stbl", table))));
        const QByteArray header = mp4(0).mid(head.size() + 8, 108); // the movie header of mp4()
        return box("moov", header + track + (layout.items.isNull() ? QByteArray() : box("udta", box("meta", meta))));
    };
    const QByteArray after = layout.freeAfter > 0 ? box("free", QByteArray(layout.freeAfter - 8, '\0')) : QByteArray();
    if (layout.moovLast)
        return head + audioAtom + movie(head.size() + 8) + after;
    const qsizetype before = head.size() + movie(0).size() + after.size();
    return head + movie(before + 8) + after + audioAtom;
}

QByteArray mp4Item(const char* name, int type, const QByteArray& value)
{
    return box(name, box("data", be32(type) + be32(0) + value));
}

bool tagFile(const std::string& path, const std::map<std::string, std::vector<std::string>>& properties)
{
    TagLib::FileRef file(path.c_str(), false);
    if (file.isNull())
        return false;
    TagLib::PropertyMap map;
    for (const auto& [key, values] : properties) {
        TagLib::StringList list;
        for (const std::string& value : values)
            list.append(TagLib::String(value, TagLib::String::UTF8));
        map.insert(TagLib::String(key, TagLib::String::UTF8), list);
    }
    file.file()->setProperties(map);
    return file.save();
}

zentrio::TagValues namedValues(const QStringList& values)
{
    using zentrio::TagField;
    static const std::map<QString, TagField> fields { { "song", TagField::Song }, { "artist", TagField::Artist },
        { "album", TagField::Album }, { "albumartist", TagField::AlbumArtist }, { "track", TagField::Track },
        { "disc", TagField::Disc }, { "year", TagField::Year }, { "genre", TagField::Genre } };
    zentrio::TagValues named;
    for (const QString& value : values)
        named[fields.at(value.section('=', 0, 0))] = value.section('=', 1);
    return named;
}

} // namespace testsupport
