#pragma once

#include "tags/write/mp4atoms.h"

#include <optional>
#include <string_view>
#include <vector>

// Where an MP4 file's items lie in its metadata: moov/udta/meta/ilst, the
// first of each as TagLib finds them.
namespace zentrio {

// The atoms from moov down to ilst as the region holds them; a level
// that is missing is made when the region is rendered.
struct IlstPath {
    std::vector<Mp4Atom> top, moov, udta, meta; // the children of each
    std::size_t moovAt = 0;
    std::optional<std::size_t> udtaAt, metaAt, ilstAt, freeAt; // freeAt: right after ilst, in meta
    std::size_t metaSkip = 4;
};

// The path in a region (top-level atoms, moov last but for free atoms);
// nullopt when an atom on it does not parse.
std::optional<IlstPath> ilstPathOf(std::string_view region);

} // namespace zentrio
