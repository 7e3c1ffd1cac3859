#include "testsupport/id3v2fixture.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

namespace testsupport {

namespace {

    TagLib::String::Type taglibEncoding(TextEncoding e)
    {
        switch (e) {
        case TextEncoding::Latin1:
            return TagLib::String::Latin1;
        case TextEncoding::Utf8:
            return TagLib::String::UTF8;
        default:
            return TagLib::String::UTF16;
        }
    }

    void addText(TagLib::ID3v2::Tag& tag, const char* id, const QStringList& values, TextEncoding encoding)
    {
        if (values.isEmpty())
            return;
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id), taglibEncoding(encoding));
        TagLib::StringList list;
        for (const QString& v : values)
            list.append(TagLib::String(v.toUtf8().toStdString(), TagLib::String::UTF8));
        frame->setText(list);
        tag.addFrame(frame);
    }

    QByteArray sizeBytes(int size, int count, bool syncsafe)
    {
        QByteArray out;
        for (int i = count - 1; i >= 0; --i)
            out += char(syncsafe ? (size >> (7 * i)) & 0x7F : (size >> (8 * i)) & 0xFF);
        return out;
    }

    // Version 2.2: three-letter ids and three-byte sizes; Latin-1 or UTF-16 with a byte-order mark.
    QByteArray version22(const Id3v2Content& c)
    {
        const bool latin1 = c.encoding == TextEncoding::Latin1;
        auto frame = [&](const char* id, const QStringList& values) {
            if (values.isEmpty())
                return QByteArray();
            const QString text = values.join(QChar(0));
            QByteArray body(1, latin1 ? '\0' : '\1');
            if (latin1) {
                body += text.toLatin1();
            } else {
                body += "\xFF\xFE";
                body += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
            }
            return QByteArray(id) + sizeBytes(static_cast<int>(body.size()), 3, false) + body;
        };
        QByteArray frames = frame("TT2", c.titles) + frame("TP1", c.artists) + frame("TAL", c.albums);
        if (!c.track.isEmpty())
            frames += frame("TRK", { c.track });
        for (const auto& [id, body] : c.frames) // further frames: id and Latin-1 body, as they lie
            frames += id + sizeBytes(static_cast<int>(body.toLatin1().size()), 3, false) + body.toLatin1();
        frames += QByteArray(64, '\0'); // padding
        return QByteArray("ID3\x02\x00\x00", 6) + sizeBytes(static_cast<int>(frames.size()), 4, true) + frames;
    }

} // namespace

QByteArray id3v2(int version, const Id3v2Content& c)
{
    if (version == 2)
        return version22(c);
    TagLib::ID3v2::Tag tag;
    const auto addPicture = [&] {
        if (c.pictureBytes > 0) {
            auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
            picture->setMimeType("image/jpeg");
            picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
            QByteArray data(c.pictureBytes, '\0');
            for (int i = 0; i < data.size(); ++i)
                data[i] = static_cast<char>(i * 31 + 7);
            picture->setPicture(TagLib::ByteVector(data.constData(), static_cast<unsigned int>(data.size())));
            tag.addFrame(picture);
        }
    };
    if (c.pictureFirst)
        addPicture();
    addText(tag, "TIT2", c.titles, c.encoding);
    addText(tag, "TPE1", c.artists, c.encoding);
    addText(tag, "TALB", c.albums, c.encoding);
    if (!c.track.isEmpty())
        addText(tag, "TRCK", { c.track }, TextEncoding::Latin1);
    for (const auto& [id, text] : c.frames)
        addText(tag, id.constData(), { text }, c.encoding);
    if (!c.pictureFirst)
        addPicture();
    const TagLib::ByteVector bytes = tag.render(version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace testsupport
