#pragma once

#include <array>
#include <string>
#include <unordered_map>

// What stands at the paths a plan of moves looks at. Each folder is listed
// once, so a run of thousands of files into one folder costs one listing,
// not a look-up per file; a folder that does not exist holds nothing.
namespace zentrio {

enum class Presence { Missing, Folder, Other };

// The key under which the plan compares the names of a run: spellings that
// differ only in Unicode normalisation are one name, and with `ignoresCase`
// so are spellings that differ only in letter case.
std::string nameKey(const std::string& path, bool ignoresCase);

class DiskNames {
public:
    // What stands at the path itself: its bytes (`ignoresCase`: any spelling
    // of letter case, as on such a volume), as the system will find it.
    Presence at(const std::string& path, bool ignoresCase = false);
    // True when anything holds the path's name under its nameKey: a name a
    // new file must not take, even where the volume would keep the two apart.
    bool taken(const std::string& path, bool ignoresCase);

private:
    using Listing = std::unordered_map<std::string, Presence>;
    enum Mode { kExact = 0, kCaseless = 1, kComposed = 2 }; // bits: how a listing's names are keyed

    Presence lookUp(const std::string& path, int mode);
    Presence folderAt(const std::string& folder, bool ignoresCase);
    const Listing& listed(const std::string& folder, int mode);

    std::array<std::unordered_map<std::string, Listing>, 4> m_listings; // by mode
    std::array<std::unordered_map<std::string, Presence>, 2> m_folders; // by kCaseless
};

} // namespace zentrio
