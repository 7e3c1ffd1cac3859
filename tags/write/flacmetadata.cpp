#include "tags/write/flacmetadata.h"

#include "tags/write/vorbiscomment.h"

#include <algorithm>

namespace zentrio {

namespace {

    constexpr std::size_t kHeader = 4;
    constexpr std::size_t kMaxBody = (1u << 24) - 1;
    constexpr std::size_t kPaddingToSpare = 4096;
    constexpr std::uint8_t kPadding = kFlacPadding;
    constexpr std::uint8_t kComment = kFlacComment;

    std::string blockHeader(std::uint8_t type, bool last, std::size_t length)
    {
        return { static_cast<char>(type | (last ? 0x80 : 0)), static_cast<char>((length >> 16) & 0xFF),
            static_cast<char>((length >> 8) & 0xFF), static_cast<char>(length & 0xFF) };
    }

    struct NewBlock {
        std::uint8_t type;
        std::string body;
    };

} // namespace

std::optional<std::string> flacRegionWithValues(std::string_view region, const TagValues& values)
{
    const auto read = [&](std::int64_t offset, std::size_t count) -> std::optional<std::string> {
        if (offset < 0 || std::size_t(offset) + count > region.size())
            return std::nullopt;
        return std::string(region.substr(std::size_t(offset), count));
    };
    const auto metadata = flacMetadataOf(read, static_cast<std::int64_t>(region.size()));
    if (!metadata || metadata->end != region.size())
        return std::nullopt;
    std::vector<NewBlock> blocks;
    bool commented = false;
    for (const FlacBlock& block : metadata->blocks) {
        std::string body(region.substr(block.offset + kHeader, block.length));
        if (block.type == kComment && !commented) {
            auto edited = withVorbisValues(body, values);
            if (!edited)
                return std::nullopt;
            body = std::move(*edited);
            commented = true;
        }
        blocks.push_back({ block.type, std::move(body) });
    }
    if (!commented) {
        auto fresh = withVorbisValues(emptyVorbisComment(), values);
        if (!fresh)
            return std::nullopt;
        blocks.insert(blocks.begin() + 1, { kComment, std::move(*fresh) });
    }
    std::size_t size = metadata->marker + 4;
    for (const NewBlock& block : blocks)
        size += kHeader + block.body.size();
    // The last padding block gives or takes the difference; without one, a
    // shrunk comment leaves room for a new padding block.
    auto padding = std::find_if(blocks.rbegin(), blocks.rend(), [](const NewBlock& b) { return b.type == kPadding; });
    if (padding != blocks.rend() && size - padding->body.size() <= region.size()) {
        padding->body.assign(region.size() - (size - padding->body.size()), '\0');
    } else if (padding == blocks.rend() && size + kHeader <= region.size()) {
        blocks.push_back({ kPadding, std::string(region.size() - size - kHeader, '\0') });
    } else if (size != region.size()) {
        if (padding == blocks.rend()) {
            blocks.push_back({ kPadding, {} });
            padding = blocks.rbegin();
        }
        padding->body.assign(kPaddingToSpare, '\0');
    }
    std::string out(region.substr(0, metadata->marker + 4));
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].body.size() > kMaxBody)
            return std::nullopt;
        out += blockHeader(blocks[i].type, i + 1 == blocks.size(), blocks[i].body.size()) + blocks[i].body;
    }
    return out;
}

} // namespace zentrio
