#include "tags/write/id3v2save.h"

#include "tags/read/id3v2.h"
#include "tags/taglib/taglibmodule.h"

namespace zentrio {

std::optional<std::string> id3v2RegionInPlace(
    const std::string& start, std::size_t region, const std::vector<FrameValue>& values)
{
    if (region < kId3v2HeaderSize || start.size() < region)
        return std::nullopt;
    const auto updated = withId3v2Fields(start, values);
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

std::vector<FrameValue> threeTexts(const TagEdit& edit)
{
    return { { "TIT2", edit.song }, { "TPE1", edit.artist }, { "TALB", edit.album } };
}

std::optional<std::string> withId3v2Fields(const std::string& file, const TagEdit& edit)
{
    return withId3v2Fields(file, threeTexts(edit));
}

std::optional<std::string> withId3v2Fields(const std::string& file, const std::vector<FrameValue>& values)
{
    const std::size_t region = id3v2RegionSize(file);
    if (region == 0)
        return taglib().withNewId3v2Tag(file, values);
    // A tag that claims more bytes than the file holds would take the audio
    // with it when replaced: such a file is left alone. So is one followed
    // by a damaged tag header: TagLib takes that for a copy of the tag too,
    // with a size of its own reckoning, and can write past the file's end.
    if (region > file.size() || std::string_view(file).substr(region, 3) == "ID3")
        return std::nullopt;
    auto updated = taglib().withUpdatedId3v2Tag(file, values);
    // Whatever TagLib made of the tag, every byte after it must be kept.
    const std::string_view after = std::string_view(file).substr(region);
    if (!updated || !std::string_view(*updated).ends_with(after))
        return std::nullopt;
    return updated;
}

} // namespace zentrio
