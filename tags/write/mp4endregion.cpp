#include "tags/write/mp4region.h"

#include "tags/write/mp4atoms.h"

namespace zentrio {

namespace {

    constexpr int kMaxTopLevelAtoms = 4096;

    struct TopAtom {
        std::string type;
        std::int64_t offset = 0;
        std::int64_t size = 0;
    };

    // The top-level atom at `at`; nullopt for one that overruns the file or
    // has no size (size 0, "to the end", is taken for mdat alone, which can
    // then hold no moov after it).
    std::optional<TopAtom> atomAt(const RegionReadAt& read, std::int64_t at, std::int64_t length)
    {
        const auto header = length - at >= 8 ? read(at, 8) : std::nullopt;
        if (!header)
            return std::nullopt;
        TopAtom atom { header->substr(4), at, mp4Be32(*header, 0) };
        std::int64_t headerSize = 8;
        if (atom.size == 1) {
            const auto large = length - at >= 16 ? read(at + 8, 8) : std::nullopt;
            if (!large || mp4Be64(*large, 0) > std::uint64_t(length))
                return std::nullopt;
            atom.size = static_cast<std::int64_t>(mp4Be64(*large, 0));
            headerSize = 16;
        } else if (atom.size == 0 && atom.type == "mdat") {
            atom.size = length - at;
        }
        if (atom.size < headerSize || atom.size > length - at)
            return std::nullopt;
        return atom;
    }

} // namespace

std::optional<EndRegionPlace> mp4EndRegionPlace(const RegionReadAt& read, std::int64_t length)
{
    EndRegionPlace place;
    std::optional<std::int64_t> moovAt;
    bool audioSeen = false;
    std::int64_t context = 0;
    std::int64_t at = 0;
    for (int atoms = 0; at < length; ++atoms) {
        const auto atom = atoms < kMaxTopLevelAtoms ? atomAt(read, at, length) : std::nullopt;
        if (!atom || atom->type == "moof")
            return std::nullopt;
        if (atom->type == "moov") {
            if (moovAt || !audioSeen)
                return std::nullopt; // a second moov, or one before the audio (a region at the start)
            moovAt = at;
        } else if (moovAt) {
            if (!isMp4Free(atom->type))
                return std::nullopt; // only free space may follow moov
        } else if (atom->type == "mdat") {
            audioSeen = true;
        } else if (!isMp4Free(atom->type)) {
            context += atom->size;
            place.context.push_back({ at, atom->size });
        }
        at += atom->size;
    }
    if (!moovAt || context > kMaxRegionContext || length - *moovAt > std::int64_t(kMaxStartRegion))
        return std::nullopt;
    place.offset = *moovAt;
    return place;
}

} // namespace zentrio
