#include "tags/id3v2save.h"

#include "tags/id3v2.h"
#include "tags/taglibsupport.h"

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

namespace zentrio {

namespace {

    void setFields(TagLib::ID3v2::Tag& tag, const TagEdit& edit)
    {
        tag.setTitle(toTagLibString(edit.song));
        tag.setArtist(toTagLibString(edit.artist));
        tag.setAlbum(toTagLibString(edit.album));
        for (const auto& [id, text] : edit.frames) {
            tag.removeFrames(TagLib::ByteVector(id.c_str()));
            if (text.isEmpty())
                continue;
            auto* frame = new TagLib::ID3v2::TextIdentificationFrame(
                TagLib::ByteVector(id.c_str()), TagLib::ID3v2::FrameFactory::instance()->defaultTextEncoding());
            frame->setText(toTagLibString(text));
            tag.addFrame(frame);
        }
    }

    std::string toStdString(const TagLib::ByteVector& bytes) { return std::string(bytes.data(), bytes.size()); }

    // A file without a tag at its start: a new version 2.3 tag goes in front.
    std::string withNewTag(const std::string& file, const TagEdit& edit)
    {
        TagLib::ID3v2::Tag tag;
        setFields(tag, edit);
        if (tag.isEmpty())
            return file;
        return toStdString(tag.render(TagLib::ID3v2::v3)) + file;
    }

    // The tag at the file's start is rewritten in place of its old bytes.
    std::optional<std::string> withUpdatedTag(const std::string& file, const TagEdit& edit)
    {
        TagLib::ByteVectorStream stream(TagLib::ByteVector(file.data(), static_cast<unsigned int>(file.size())));
        TagLib::MPEG::File mpeg(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!mpeg.isValid() || !mpeg.hasID3v2Tag())
            return std::nullopt;
        TagLib::ID3v2::Tag* tag = mpeg.ID3v2Tag();
        const auto version = tag->header()->majorVersion() >= 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3;
        setFields(*tag, edit);
        if (!mpeg.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, version, TagLib::File::DoNotDuplicate))
            return std::nullopt;
        return toStdString(*stream.data());
    }

} // namespace

std::optional<std::string> id3v2RegionInPlace(const std::string& start, std::size_t region, const TagEdit& edit)
{
    if (region < kId3v2HeaderSize || start.size() < region)
        return std::nullopt;
    const auto updated = withId3v2Fields(start, edit);
    const std::size_t after = start.size() - region;
    if (!updated || updated->size() < after + kId3v2HeaderSize)
        return std::nullopt;
    std::string tag = updated->substr(0, updated->size() - after);
    if (static_cast<unsigned char>(tag[5]) & 0x10)
        return std::nullopt; // a footer closes the tag: no padding may follow it
    // The frames end where the zeros of the padding begin; a frame's own
    // closing zeros come back with the padding, so the bytes are the same.
    const std::size_t used = tag.find_last_not_of('\0') + 1;
    if (used > region)
        return std::nullopt;
    tag.resize(region, '\0');
    std::size_t size = region - kId3v2HeaderSize;
    for (int i = 9; i >= 6; --i, size >>= 7)
        tag[static_cast<std::size_t>(i)] = static_cast<char>(size & 0x7F);
    return size == 0 ? std::optional(tag) : std::nullopt; // a region of more than 256 MiB stays as it is
}

std::optional<std::string> withId3v2Fields(const std::string& file, const TagEdit& edit)
{
    silenceTagLib();
    const std::size_t region = id3v2RegionSize(file);
    if (region == 0)
        return withNewTag(file, edit);
    // A tag that claims more bytes than the file holds would take the audio
    // with it when replaced: such a file is left alone. So is one followed
    // by a damaged tag header: TagLib takes that for a copy of the tag too,
    // with a size of its own reckoning, and can write past the file's end.
    if (region > file.size() || std::string_view(file).substr(region, 3) == "ID3")
        return std::nullopt;
    auto updated = withUpdatedTag(file, edit);
    // Whatever TagLib made of the tag, every byte after it must be kept.
    const std::string_view after = std::string_view(file).substr(region);
    if (!updated || !std::string_view(*updated).ends_with(after))
        return std::nullopt;
    return updated;
}

} // namespace zentrio
