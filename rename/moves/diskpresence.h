#pragma once

#include "rename/moves/textindex.h"

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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
    // The folder as it was listed a moment before, by the names it held and
    // whether each is a folder: it is not listed again. A plan only shown
    // takes its folders so from the walk that found its files; a plan to be
    // run lists them itself, just before its check.
    void assume(const std::string& folder, std::vector<std::pair<std::string, bool>> entries);

private:
    // Keyed by names, found by views of them: a look-up copies nothing.
    struct ViewHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view> {}(text); }
    };
    template <typename T> using ByName = std::unordered_map<std::string, T, ViewHash, std::equal_to<>>;
    // A folder's names, each with what stands there, in the order they came.
    class Listing {
    public:
        // Two constructors, not a default argument: the class is made
        // inside DiskNames while DiskNames itself is still incomplete.
        Listing()
            : Listing(0)
        {
        }
        explicit Listing(std::size_t expected);
        // The index holds views of the names: a copy would look into these.
        Listing(const Listing&) = delete;
        Listing& operator=(const Listing&) = delete;
        Listing(Listing&&) = default;
        Listing& operator=(Listing&&) = default;
        // Adds the name; a name keyed alike with another presence (a file
        // and a folder whose names differ in case alone) leaves Other.
        void add(std::string name, Presence presence);
        const Presence* find(std::string_view name) const;
        std::size_t size() const { return m_names.size(); }
        const std::string& name(std::size_t k) const { return m_names[k]; }
        Presence presence(std::size_t k) const { return m_presences[k]; }
        bool allAscii() const { return m_allAscii; }

    private:
        std::deque<std::string> m_names; // where they stay: the index holds views of them
        std::vector<Presence> m_presences;
        TextIndex m_index; // to the place in m_names
        bool m_allAscii; // set by the constructor, for the same reason
    };
    enum Mode { kExact = 0, kCaseless = 1, kComposed = 2 }; // bits: how a listing's names are keyed
    struct Folder {
        std::array<std::optional<Listing>, 4> byMode; // each made from the exact one when first asked
        // It could not be listed (a folder one may enter but not read): its
        // names are looked up one by one.
        bool unlisted = false;
    };

    Presence lookUp(std::string_view path, int mode);
    Presence presenceOne(std::string_view path, std::string_view name, int mode);
    Presence folderAt(std::string_view folder, bool ignoresCase);
    Folder& listedFolder(std::string_view folder);
    const Listing& listed(Folder& folder, int mode);

    ByName<Folder> m_listed; // its nodes stay where they are
    struct LastFolder {
        std::string path;
        bool caseless = false;
        Folder* folder = nullptr; // a folder found to exist; paths asked for come folder by folder
    } m_last;
    std::array<ByName<Presence>, 2> m_folders; // by kCaseless
};

} // namespace zentrio
