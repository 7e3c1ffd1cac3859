#include "tags/write/mp4chunkoffsets.h"

#include "tags/write/mp4atoms.h"

#include <array>
#include <string_view>
#include <vector>

namespace zentrio {

namespace {

    // The tables under one atom, along the path from `depth` down.
    bool collectTables(std::string_view bytes, const Mp4Atom& atom, std::size_t depth, std::vector<Mp4Atom>& tables)
    {
        static constexpr std::array<std::string_view, 5> kPath { "trak", "mdia", "minf", "stbl", "" };
        const auto children = mp4ChildrenOf(bytes, atom);
        if (!children)
            return false;
        for (const Mp4Atom& child : *children) {
            if (depth == 4 && (child.type == "stco" || child.type == "co64"))
                tables.push_back(child);
            else if (depth < 4 && child.type == kPath[depth] && !collectTables(bytes, child, depth + 1, tables))
                return false;
        }
        return true;
    }

    bool moveTable(std::string& region, const Mp4Atom& table, std::size_t oldEnd, std::int64_t delta)
    {
        const bool wide = table.type == "co64";
        const std::size_t entry = wide ? 8 : 4;
        const std::size_t body = table.size - table.header;
        if (body < 8)
            return false;
        const std::uint64_t count = mp4Be32(region, table.body() + 4);
        if (count > (body - 8) / entry)
            return false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = table.body() + 8 + i * entry;
            const std::uint64_t offset = wide ? mp4Be64(region, at) : mp4Be32(region, at);
            if (offset < oldEnd)
                return false;
            const std::uint64_t moved = offset + static_cast<std::uint64_t>(delta); // delta may be negative
            if (wide)
                mp4PutBe64(region, at, moved);
            else if (moved > 0xFFFFFFFFu)
                return false;
            else
                mp4PutBe32(region, at, static_cast<std::uint32_t>(moved));
        }
        return true;
    }

} // namespace

bool moveChunkOffsets(std::string& region, std::size_t oldEnd, std::int64_t delta)
{
    const auto top = mp4AtomsIn(region, 0, region.size());
    const Mp4Atom* moov = top ? firstMp4Atom(*top, "moov") : nullptr;
    std::vector<Mp4Atom> tables;
    if (!moov || !collectTables(region, *moov, 0, tables))
        return false;
    for (const Mp4Atom& table : tables) {
        if (!moveTable(region, table, oldEnd, delta))
            return false;
    }
    return true;
}

} // namespace zentrio
