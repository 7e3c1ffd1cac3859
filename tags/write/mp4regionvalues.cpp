#include "tags/write/mp4region.h"

#include "tags/write/mp4atoms.h"
#include "tags/write/mp4chunkoffsets.h"
#include "tags/write/mp4ilstpath.h"
#include "tags/write/mp4items.h"

namespace zentrio {

namespace {

    constexpr std::size_t kFreeToSpare = 4096;

    std::size_t sizeAt(const std::vector<Mp4Atom>& atoms, std::optional<std::size_t> at)
    {
        return at ? atoms[*at].size : 0;
    }

    // The region rendered with a new item list, `inner` bytes of free atom
    // after ilst and `after` bytes of free atoms after moov (0: none);
    // free atoms of the size they had keep their bytes.
    class Renderer {
    public:
        Renderer(std::string_view region, const IlstPath& path, std::string items)
            : m_region(region)
            , m_path(path)
            , m_items(std::move(items))
        {
        }

        std::size_t innerFree() const { return sizeAt(m_path.meta, m_path.freeAt); }
        std::size_t freeAfter() const { return m_region.size() - m_path.top[m_path.moovAt].end(); }

        std::string render(std::size_t inner, std::size_t after) const
        {
            const IlstPath& p = m_path;
            const std::string ilst = mp4Atom("ilst", m_items, p.ilstAt && p.meta[*p.ilstAt].wide());
            std::string meta;
            if (!p.metaAt) {
                meta = mp4Atom("meta", std::string(4, '\0') + handler() + ilst);
            } else {
                const Mp4Atom& atom = p.udta[*p.metaAt];
                std::string body(m_region.substr(atom.body(), p.metaSkip));
                if (p.ilstAt) {
                    const std::size_t rest = p.freeAt ? *p.freeAt + 1 : *p.ilstAt + 1;
                    const std::string free = inner == innerFree() ? span(p.meta, *p.ilstAt + 1, rest)
                        : inner > 0                                ? mp4Free(inner)
                                                                   : std::string();
                    body += span(p.meta, 0, *p.ilstAt) + ilst + free + span(p.meta, rest, p.meta.size());
                } else {
                    const auto handlerAt = mp4IndexOf(p.meta, "hdlr");
                    const std::size_t at = handlerAt ? *handlerAt + 1 : p.meta.size();
                    body += span(p.meta, 0, at) + ilst + span(p.meta, at, p.meta.size());
                }
                meta = mp4Atom("meta", body, atom.wide());
            }
            const std::string udta = p.udtaAt
                ? mp4Atom("udta", replaced(p.udta, p.metaAt, meta), p.moov[*p.udtaAt].wide())
                : mp4Atom("udta", meta);
            const Mp4Atom& moov = p.top[p.moovAt];
            std::string out = span(p.top, 0, p.moovAt) + mp4Atom("moov", replaced(p.moov, p.udtaAt, udta), moov.wide());
            if (after == freeAfter())
                return out + std::string(m_region.substr(moov.end()));
            return after > 0 ? out + mp4Free(after) : out;
        }

    private:
        // The children [from, to) as they stand.
        std::string span(const std::vector<Mp4Atom>& atoms, std::size_t from, std::size_t to) const
        {
            if (from >= to)
                return {};
            return std::string(m_region.substr(atoms[from].offset, atoms[to - 1].end() - atoms[from].offset));
        }

        // The children with the one at `at` replaced (none: appended).
        std::string replaced(const std::vector<Mp4Atom>& atoms, std::optional<std::size_t> at, const std::string& atom) const
        {
            if (!at)
                return span(atoms, 0, atoms.size()) + atom;
            return span(atoms, 0, *at) + atom + span(atoms, *at + 1, atoms.size());
        }

        static std::string handler()
        {
            return mp4Atom("hdlr", std::string(8, '\0') + "mdirappl" + std::string(9, '\0'));
        }

        std::string_view m_region;
        const IlstPath& m_path;
        std::string m_items;
    };

    bool fits(std::int64_t room) { return room == 0 || room >= 8; } // a free atom is 8 bytes at least

    // The values written into the region; `audioFollows`: the audio lies
    // after the region, and moves with its growth.
    std::optional<std::string> withValues(std::string_view region, const TagValues& values, bool audioFollows)
    {
        const auto path = ilstPathOf(region);
        if (!path)
            return std::nullopt;
        const Mp4Atom* ilst = path->ilstAt ? &path->meta[*path->ilstAt] : nullptr;
        auto items = withMp4Items(ilst ? region.substr(ilst->body(), ilst->end() - ilst->body()) : std::string_view(), values);
        if (!items)
            return std::nullopt;
        if (!ilst && items->empty())
            return std::string(region); // nothing to remove, nothing to add
        const Renderer renderer(region, *path, std::move(*items));
        const auto inner = static_cast<std::int64_t>(renderer.innerFree());
        const auto after = static_cast<std::int64_t>(renderer.freeAfter());
        // The free atoms' room when the region keeps its size: the free atom
        // after ilst takes the change where it can (moov keeps its size too),
        // else the free space after moov, else one free atom after moov holds it all.
        const std::int64_t room = std::int64_t(region.size()) - std::int64_t(renderer.render(0, 0).size());
        if (fits(room)) {
            if (inner > 0 && fits(room - after))
                return renderer.render(std::size_t(room - after), std::size_t(after));
            if (fits(room - inner))
                return renderer.render(std::size_t(inner), std::size_t(room - inner));
            return renderer.render(0, std::size_t(room));
        }
        // The region grows, with room to spare for the next change; audio
        // behind it moves, and its chunk offsets with it.
        std::string grown = renderer.render(std::size_t(inner), kFreeToSpare);
        const std::int64_t delta = std::int64_t(grown.size()) - std::int64_t(region.size());
        if (audioFollows && !moveChunkOffsets(grown, region.size(), delta))
            return std::nullopt;
        return grown;
    }

} // namespace

std::optional<std::string> mp4RegionWithValues(std::string_view region, const TagValues& values)
{
    return withValues(region, values, true);
}

std::optional<std::string> mp4EndRegionWithValues(std::string_view region, const TagValues& values)
{
    return withValues(region, values, false);
}

} // namespace zentrio
