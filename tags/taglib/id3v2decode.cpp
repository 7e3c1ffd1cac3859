#include "tags/taglib/taglibcodec.h"

#include "tags/read/id3v2.h"
#include "tags/taglib/taglibsupport.h"

#include <QStringList>

#include <algorithm>

#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfile.h>
#include <taglib/textidentificationframe.h>

namespace zentrio {

namespace {

    // The tag's bytes as a file that holds nothing else, so that TagLib parses
    // the tag alone: no search for other tags or for audio frames.
    class TagBytes final : public TagLib::File {
    public:
        explicit TagBytes(TagLib::IOStream* stream)
            : TagLib::File(stream)
        {
        }
        TagLib::Tag* tag() const override { return nullptr; }
        TagLib::AudioProperties* audioProperties() const override { return nullptr; }
        bool save() override { return false; }
    };

    // Every value of every frame with this id, joined by " / ". Version 2.2
    // frames (TT2, TP1, TAL) arrive here under their 2.3 names.
    QString frameText(const TagLib::ID3v2::Tag& tag, const char* id)
    {
        QStringList values;
        for (const TagLib::ID3v2::Frame* frame : tag.frameList(id)) {
            const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame);
            if (!text)
                continue;
            for (const TagLib::String& value : text->fieldList()) {
                QString trimmed = trimSpaces(toQString(value));
                if (!trimmed.isEmpty())
                    values << trimmed;
            }
        }
        return values.join(QStringLiteral(" / "));
    }

    // The first value of a text frame, trimmed.
    QString firstValue(const TagLib::ID3v2::Tag& tag, const char* id)
    {
        const auto& frames = tag.frameList(id);
        return frames.isEmpty() ? QString() : trimSpaces(toQString(frames.front()->toString()));
    }

    // Track and disc ("3/12"), year (2.3's TYER arrives as TDRC), genre
    // (TagLib turns a "(17)" reference into its name) and album artist.
    void addFrameExtras(TagFields& fields, const TagLib::ID3v2::Tag& tag)
    {
        splitNumberPair(firstValue(tag, "TRCK"), fields.track, fields.tracks);
        splitNumberPair(firstValue(tag, "TPOS"), fields.disc, fields.discs);
        fields.year = firstValue(tag, "TDRC");
        fields.genre = trimSpaces(toQString(tag.genre()));
        fields.albumArtist = frameText(tag, "TPE2");
    }

} // namespace

namespace {

    std::optional<TagFields> fieldsOfTag(const TagLib::ID3v2::Tag& tag)
    {
        TagFields fields;
        fields.song = frameText(tag, "TIT2");
        fields.artist = frameText(tag, "TPE1");
        fields.album = frameText(tag, "TALB");
        addFrameExtras(fields, tag);
        const QString* all[] = { &fields.song, &fields.artist, &fields.album, &fields.track, &fields.disc,
            &fields.year, &fields.genre, &fields.albumArtist };
        if (std::all_of(std::begin(all), std::end(all), [](const QString* field) { return field->isEmpty(); }))
            return std::nullopt;
        fields.found = true;
        return fields;
    }

    // Parses the tag's bytes and hands the tag to `use`.
    template <typename Use> auto withParsedTag(std::string_view tagBytes, const Use& use)
    {
        silenceTagLib();
        TagLib::ByteVectorStream stream(TagLib::ByteVector(tagBytes.data(), static_cast<unsigned int>(tagBytes.size())));
        TagBytes file(&stream);
        const TagLib::ID3v2::Tag tag(&file, 0);
        return use(tag);
    }

} // namespace

QString taglibcodec::id3v2FirstText(std::string_view tagBytes, const char* id)
{
    return withParsedTag(tagBytes, [&](const TagLib::ID3v2::Tag& tag) { return firstValue(tag, id); });
}

QStringList taglibcodec::id3v2FirstValues(std::string_view tagBytes, const char* id)
{
    return withParsedTag(tagBytes, [&](const TagLib::ID3v2::Tag& tag) {
        QStringList values;
        const auto& frames = tag.frameList(id);
        const auto* text = frames.isEmpty() ? nullptr : dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
        if (text) {
            for (const TagLib::String& value : text->fieldList())
                values << toQString(value);
        }
        return values;
    });
}

std::optional<TagFields> taglibcodec::id3v2FieldsOf(std::string_view tagBytes)
{
    return withParsedTag(tagBytes, [](const TagLib::ID3v2::Tag& tag) { return fieldsOfTag(tag); });
}

} // namespace zentrio
