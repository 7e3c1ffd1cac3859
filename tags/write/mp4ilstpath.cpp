#include "tags/write/mp4ilstpath.h"

#include <algorithm>
#include <array>

namespace zentrio {

namespace {

    // meta is a full atom (4 bytes of version and flags before its
    // children) in the files of iTunes, and a plain one in QuickTime's:
    // told apart, as TagLib tells them, by a known child's type where a
    // plain meta has its first child's.
    std::size_t metaSkipOf(std::string_view region, const Mp4Atom& meta)
    {
        static constexpr std::array<std::string_view, 5> kChildren { "hdlr", "ilst", "mhdr", "ctry", "lang" };
        if (meta.size < meta.header + 8)
            return 4;
        const std::string_view type = region.substr(meta.body() + 4, 4);
        return std::find(kChildren.begin(), kChildren.end(), type) != kChildren.end() ? 0 : 4;
    }

} // namespace

std::optional<IlstPath> ilstPathOf(std::string_view region)
{
    IlstPath path;
    auto top = mp4AtomsIn(region, 0, region.size());
    const auto moovAt = top ? mp4IndexOf(*top, "moov") : std::nullopt;
    if (!moovAt || !std::all_of(top->begin() + std::ptrdiff_t(*moovAt) + 1, top->end(),
                       [](const Mp4Atom& a) { return isMp4Free(a.type); }))
        return std::nullopt; // only free atoms follow moov in the region
    path.top = std::move(*top);
    path.moovAt = *moovAt;
    auto moov = mp4ChildrenOf(region, path.top[path.moovAt]);
    if (!moov)
        return std::nullopt;
    path.moov = std::move(*moov);
    if (!(path.udtaAt = mp4IndexOf(path.moov, "udta")))
        return path;
    auto udta = mp4ChildrenOf(region, path.moov[*path.udtaAt]);
    if (!udta)
        return std::nullopt;
    path.udta = std::move(*udta);
    if (!(path.metaAt = mp4IndexOf(path.udta, "meta")))
        return path;
    const Mp4Atom& metaAtom = path.udta[*path.metaAt];
    path.metaSkip = metaSkipOf(region, metaAtom);
    auto meta = mp4ChildrenOf(region, metaAtom, path.metaSkip);
    if (!meta)
        return std::nullopt;
    path.meta = std::move(*meta);
    path.ilstAt = mp4IndexOf(path.meta, "ilst");
    if (path.ilstAt && *path.ilstAt + 1 < path.meta.size() && isMp4Free(path.meta[*path.ilstAt + 1].type))
        path.freeAt = *path.ilstAt + 1;
    return path;
}

} // namespace zentrio
