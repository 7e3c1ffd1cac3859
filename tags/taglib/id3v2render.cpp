#include "tags/taglib/taglibcodec.h"

#include "tags/taglib/taglibsupport.h"
#include "tags/write/frameedit.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

namespace zentrio::taglibcodec {

namespace {

    // Only the frames named change; a track or disc without a total keeps the old one.
    void setFields(TagLib::ID3v2::Tag& tag, const std::vector<FrameValue>& values)
    {
        for (const FrameValue& value : values) {
            const TagLib::ByteVector id(value.id.c_str());
            const auto& old = tag.frameList(id);
            const QString text = value.keepTotal && !old.isEmpty()
                ? withKeptTotal(value.text, toQString(old.front()->toString()))
                : value.text;
            tag.removeFrames(id);
            for (const std::string& other : value.replaces)
                tag.removeFrames(TagLib::ByteVector(other.c_str()));
            if (text.isEmpty())
                continue;
            auto* frame = new TagLib::ID3v2::TextIdentificationFrame(
                id, TagLib::ID3v2::FrameFactory::instance()->defaultTextEncoding());
            frame->setText(toTagLibString(text));
            tag.addFrame(frame);
        }
    }

    std::string toStdString(const TagLib::ByteVector& bytes) { return std::string(bytes.data(), bytes.size()); }

} // namespace

// A version 2.3 tag of the values alone.
std::string withNewId3v2Tag(const std::string& file, const std::vector<FrameValue>& values)
{
    silenceTagLib();
    TagLib::ID3v2::Tag tag;
    setFields(tag, values);
    if (tag.isEmpty())
        return file;
    return toStdString(tag.render(TagLib::ID3v2::v3)) + file;
}

// The tag at the file's start is rewritten in place of its old bytes, in
// its own version (2.4 stays 2.4; older ones become 2.3).
std::optional<std::string> withUpdatedId3v2Tag(const std::string& file, const std::vector<FrameValue>& values)
{
    silenceTagLib();
    TagLib::ByteVectorStream stream(TagLib::ByteVector(file.data(), static_cast<unsigned int>(file.size())));
    TagLib::MPEG::File mpeg(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!mpeg.isValid() || !mpeg.hasID3v2Tag())
        return std::nullopt;
    TagLib::ID3v2::Tag* tag = mpeg.ID3v2Tag();
    const auto version = tag->header()->majorVersion() >= 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
    setFields(*tag, values);
    if (!mpeg.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version, TagLib::File::DoNotDuplicate))
        return std::nullopt;
    return toStdString(*stream.data());
}

} // namespace zentrio::taglibcodec
