#include "tags/taglib/taglibcodec.h"

#include "tags/read/flacblocks.h"
#include "tags/read/formatguard.h"
#include "tags/read/vorbisentries.h"
#include "tags/taglib/readerstream.h"
#include "tags/taglib/taglibsupport.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <QByteArrayView>
#include <QStringList>

#include <algorithm>
#include <array>
#include <memory>

namespace zentrio {

namespace {

    // Where each of Zentrio's fields stands in TagLib's property map, in
    // the order the keys are tried. A number pair ("3/12") gives its total
    // too; the keys of a total are read only where the pair had none.
    struct FieldKeys {
        QString TagFields::*field;
        std::array<const char*, 2> keys;
        bool joinsValues; // several values read as one, " / " between them
    };
    const std::array<FieldKeys, 8> kFieldKeys { {
        { &TagFields::song, { "TITLE", nullptr }, true },
        { &TagFields::artist, { "ARTIST", nullptr }, true },
        { &TagFields::album, { "ALBUM", nullptr }, true },
        { &TagFields::albumArtist, { "ALBUMARTIST", "ALBUM ARTIST" }, true },
        { &TagFields::tracks, { "TRACKTOTAL", "TOTALTRACKS" }, false },
        { &TagFields::discs, { "DISCTOTAL", "TOTALDISCS" }, false },
        { &TagFields::year, { "DATE", "YEAR" }, false },
        { &TagFields::genre, { "GENRE", nullptr }, false },
    } };

    QString valueOf(const TagLib::PropertyMap& properties, const char* key, bool joined)
    {
        if (!key)
            return {};
        const auto found = properties.find(key);
        if (found == properties.end())
            return {};
        QStringList values;
        for (const TagLib::String& value : found->second) {
            // A text ends at its first NUL, as an ID3v2 text does: what
            // follows is no part of the value, and no name may hold it.
            QString text = toQString(value);
            if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
                text.truncate(nul);
            const QString trimmed = trimSpaces(text);
            if (!trimmed.isEmpty())
                values << trimmed;
            if (!joined && !values.isEmpty())
                break;
        }
        return values.join(QStringLiteral(" / "));
    }

    // A date's year: its first four characters when they are digits
    // ("2001-05-03"), else the text as it stands.
    QString yearOf(const QString& date)
    {
        const QString head = date.left(4);
        const bool digits = head.size() == 4 && std::all_of(head.begin(), head.end(), [](QChar c) { return c.isDigit(); });
        return digits ? head : date;
    }

    TagFields fieldsOf(const TagLib::PropertyMap& properties)
    {
        TagFields fields;
        for (const FieldKeys& entry : kFieldKeys) {
            for (const char* key : entry.keys) {
                if ((fields.*entry.field).isEmpty())
                    fields.*entry.field = valueOf(properties, key, entry.joinsValues);
            }
        }
        QString tracks;
        QString discs;
        splitNumberPair(valueOf(properties, "TRACKNUMBER", false), fields.track, tracks);
        splitNumberPair(valueOf(properties, "DISCNUMBER", false), fields.disc, discs);
        if (!tracks.isEmpty())
            fields.tracks = tracks;
        if (!discs.isEmpty())
            fields.discs = discs;
        fields.year = yearOf(fields.year);
        for (const QString* value : { &fields.song, &fields.artist, &fields.album, &fields.albumArtist, &fields.track,
                 &fields.tracks, &fields.disc, &fields.discs, &fields.year, &fields.genre })
            fields.found = fields.found || !value->isEmpty();
        return fields;
    }

    TagFields fieldsOf(TagLib::File& file) { return fieldsOf(file.properties()); }

    // FLAC's common layout read without TagLib, as TagLib would read it:
    // "fLaC" at the start and a comment with a value, in UTF-8. Anything
    // else (an ID3v2 tag before it, no comment, odd bytes) is TagLib's.
    std::optional<TagFields> commonFlacFields(ReaderStream& stream)
    {
        const ReadAt read = [&](std::int64_t offset, std::size_t count) { return stream.peek(long(offset), count); };
        const auto metadata = flacMetadataOf(read, static_cast<std::int64_t>(stream.file().length()));
        if (!metadata || metadata->marker != 0)
            return std::nullopt;
        const auto block = std::find_if(metadata->blocks.begin(), metadata->blocks.end(),
            [](const FlacBlock& b) { return b.type == kFlacComment; });
        if (block == metadata->blocks.end())
            return std::nullopt;
        const auto body = read(static_cast<std::int64_t>(block->offset + 4), block->length);
        const auto comment = body ? parseVorbisComment(*body) : std::nullopt;
        if (!comment)
            return std::nullopt;
        TagLib::PropertyMap properties;
        bool anyValue = false;
        for (const VorbisEntry& entry : comment->comments) {
            if (!QByteArrayView(entry.key.data(), qsizetype(entry.key.size())).isValidUtf8()
                || !QByteArrayView(entry.value.data(), qsizetype(entry.value.size())).isValidUtf8())
                return std::nullopt;
            anyValue = anyValue || !entry.value.empty();
            properties[TagLib::String(entry.key, TagLib::String::UTF8).upper()].append(
                TagLib::String(entry.value, TagLib::String::UTF8));
        }
        if (!anyValue)
            return std::nullopt;
        return fieldsOf(properties);
    }

    template <class File, class... Args> std::unique_ptr<TagLib::File> opened(Args&&... args)
    {
        auto file = std::make_unique<File>(std::forward<Args>(args)...);
        return file->isValid() ? std::move(file) : nullptr;
    }

    // The format's file on the stream, without its audio properties; an
    // Ogg file is tried as Vorbis, FLAC in Ogg and Opus, by what it holds.
    std::unique_ptr<TagLib::File> openAs(AudioFormat format, TagLib::IOStream& stream)
    {
        auto* frames = TagLib::ID3v2::FrameFactory::instance();
        const auto ogg = [&](bool opusFirst) -> std::unique_ptr<TagLib::File> {
            if (opusFirst) {
                if (auto file = opened<TagLib::Ogg::Opus::File>(&stream, false))
                    return file;
            }
            if (auto file = opened<TagLib::Ogg::Vorbis::File>(&stream, false))
                return file;
            if (auto file = opened<TagLib::Ogg::FLAC::File>(&stream, false))
                return file;
            return opusFirst ? nullptr : opened<TagLib::Ogg::Opus::File>(&stream, false);
        };
        switch (format) {
        case AudioFormat::Flac:
            return opened<TagLib::FLAC::File>(&stream, frames, false);
        case AudioFormat::Ogg:
            return ogg(false);
        case AudioFormat::Opus:
            return ogg(true);
        case AudioFormat::Mp4:
            return opened<TagLib::MP4::File>(&stream, false);
        case AudioFormat::Wav:
            return opened<TagLib::RIFF::WAV::File>(&stream, false);
        case AudioFormat::Aiff:
            return opened<TagLib::RIFF::AIFF::File>(&stream, false);
        case AudioFormat::WavPack:
            return opened<TagLib::WavPack::File>(&stream, false);
        case AudioFormat::Ape:
            return opened<TagLib::APE::File>(&stream, false);
        case AudioFormat::Mp3:
            return nullptr; // read by the ID3 readers
        }
        return nullptr;
    }

} // namespace

std::optional<IdentifiedTag> taglibcodec::readFormatTag(const std::string& path, AudioFormat format)
{
    silenceTagLib();
    ReaderStream stream(path);
    const GuardedFile guarded { static_cast<std::int64_t>(stream.file().length()),
        [&](std::int64_t offset, std::size_t count) { return stream.peek(static_cast<long>(offset), count); } };
    if (!stream.isOpen())
        return std::nullopt;
    if (format == AudioFormat::Flac) {
        if (auto fields = commonFlacFields(stream))
            return IdentifiedTag { std::move(*fields), stream.identity() };
    }
    if (!safeForTagLib(guarded, format))
        return std::nullopt;
    const auto file = openAs(format, stream);
    if (!file)
        return std::nullopt;
    return IdentifiedTag { fieldsOf(*file), stream.identity() };
}

std::optional<TagFields> taglibcodec::formatFieldsOf(std::string_view bytes, AudioFormat format)
{
    silenceTagLib();
    TagLib::ByteVectorStream stream(TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size())));
    const auto file = openAs(format, stream);
    if (!file)
        return std::nullopt;
    return fieldsOf(*file);
}

} // namespace zentrio
