#include "tags/read/vorbisentries.h"

#include <cstdint>

namespace zentrio {

namespace {

    std::optional<std::uint32_t> le32(std::string_view bytes, std::size_t at)
    {
        if (at + 4 > bytes.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    }

} // namespace

std::optional<VorbisComment> parseVorbisComment(std::string_view body)
{
    VorbisComment parsed;
    const auto vendorSize = le32(body, 0);
    if (!vendorSize || 4 + std::size_t(*vendorSize) > body.size())
        return std::nullopt;
    parsed.vendor = std::string(body.substr(4, *vendorSize));
    std::size_t at = 4 + *vendorSize;
    const auto count = le32(body, at);
    if (!count)
        return std::nullopt;
    at += 4;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto size = le32(body, at);
        if (!size || at + 4 + std::size_t(*size) > body.size())
            return std::nullopt;
        const std::string_view entry = body.substr(at + 4, *size);
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        parsed.comments.push_back({ std::string(entry.substr(0, equals)), std::string(entry.substr(equals + 1)) });
        at += 4 + *size;
    }
    parsed.trailing = std::string(body.substr(at));
    return parsed;
}

} // namespace zentrio
