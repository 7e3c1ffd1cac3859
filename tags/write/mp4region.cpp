#include "tags/write/mp4region.h"

#include "tags/write/mp4atoms.h"

namespace zentrio {

namespace {

    // A file laid out for playback has a handful of top-level atoms; a
    // fragmented one, refused at its first moof, has many.
    constexpr int kMaxTopLevelAtoms = 4096;
    // The write refuses larger regions; reading them would be for nothing.
    constexpr std::size_t kMaxRegion = 16 * 1024 * 1024;

} // namespace

std::optional<std::size_t> mp4RegionEnd(const RegionReadAt& read, std::int64_t length)
{
    std::optional<std::int64_t> end; // of moov and the free atoms right after it
    bool audioSeen = false;
    std::int64_t at = 0;
    for (int atoms = 0; at < length; ++atoms) {
        const auto header = length - at >= 8 ? read(at, 8) : std::nullopt;
        if (atoms == kMaxTopLevelAtoms || !header)
            return std::nullopt;
        const std::string_view type = std::string_view(*header).substr(4);
        std::int64_t size = mp4Be32(*header, 0);
        std::int64_t headerSize = 8;
        if (size == 1) {
            const auto large = read(at + 8, 8);
            if (!large || mp4Be64(*large, 0) > std::uint64_t(length))
                return std::nullopt;
            size = static_cast<std::int64_t>(mp4Be64(*large, 0));
            headerSize = 16;
        } else if (size == 0 && type != "moov") {
            size = length - at; // the last atom, to the end of the file
        }
        if (size < headerSize || size > length - at || type == "moof")
            return std::nullopt;
        if (type == "moov") {
            if (end || audioSeen)
                return std::nullopt; // a second moov, or one after the audio
            end = at + size;
        } else if (type == "mdat") {
            audioSeen = true;
        } else if (isMp4Free(type) && end == at) {
            end = at + size;
        }
        at += size;
    }
    if (!end || *end > std::int64_t(kMaxRegion))
        return std::nullopt;
    return static_cast<std::size_t>(*end);
}

} // namespace zentrio
