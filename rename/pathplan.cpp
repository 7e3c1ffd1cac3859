#include "rename/pathplan.h"

#include "platform/filenames.h"
#include "rename/movelimits.h"
#include "rename/treewalk.h"

#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zentrio {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string keyOf(const std::string& path, bool ignoresCase)
{
    return ignoresCase ? caselessKey(path) : path;
}

enum class Presence { Missing, Folder, Other };

// What stands at each path the plan looks at. Each folder is listed once,
// so a run of thousands of files into one folder costs one listing, not a
// look-up per file; a folder that does not exist holds nothing.
class Disk {
public:
    // `ignoresCase`: any spelling of the name counts, as on such a volume.
    Presence at(const std::string& path, bool ignoresCase = false)
    {
        if (path == "/")
            return Presence::Folder;
        const std::string parent = parentOf(path);
        if (folderAt(parent, ignoresCase) != Presence::Folder)
            return Presence::Missing;
        const std::string name = path.substr(parent.size() == 1 ? 1 : parent.size() + 1);
        const Listing& listing = listed(parent, ignoresCase);
        const auto found = listing.find(ignoresCase ? keyOf(name, true) : name);
        return found == listing.end() ? Presence::Missing : found->second;
    }

private:
    using Listing = std::unordered_map<std::string, Presence>;

    // at() for the folders above the paths asked for, each decided once.
    Presence folderAt(const std::string& folder, bool ignoresCase)
    {
        auto& known = ignoresCase ? m_foldedFolders : m_folders;
        if (const auto found = known.find(folder); found != known.end())
            return found->second;
        const Presence presence = at(folder, ignoresCase);
        known.emplace(folder, presence);
        return presence;
    }

    const Listing& listed(const std::string& folder, bool ignoresCase)
    {
        auto& listings = ignoresCase ? m_foldedListings : m_listings;
        if (const auto known = listings.find(folder); known != listings.end())
            return known->second;
        Listing& listing = listings[folder];
        fs::forEachEntry(folder, [&](int folderFd, const dirent& e) {
            const bool folderEntry = e.d_type == DT_DIR
                || ((e.d_type == DT_LNK || e.d_type == DT_UNKNOWN) && isFolderAt(folderFd, e.d_name));
            listing[ignoresCase ? keyOf(e.d_name, true) : e.d_name] = folderEntry ? Presence::Folder : Presence::Other;
        });
        return listing;
    }

    static bool isFolderAt(int folderFd, const char* name)
    {
        struct stat st { };
        return ::fstatat(folderFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }

    std::unordered_map<std::string, Listing> m_listings;
    std::unordered_map<std::string, Listing> m_foldedListings; // names case-folded
    std::unordered_map<std::string, Presence> m_folders;
    std::unordered_map<std::string, Presence> m_foldedFolders;
};

// A hidden name beside the file that nothing holds.
std::string temporaryBeside(const std::string& path, std::size_t& counter, Disk& disk)
{
    for (;; ++counter) {
        const std::string candidate = parentOf(path) + "/" + std::string(kCycleNamePrefix) + std::to_string(::getpid())
            + "-" + std::to_string(counter) + ".mp3";
        if (disk.at(candidate) == Presence::Missing) {
            ++counter;
            return candidate;
        }
    }
}

class Planner {
public:
    explicit Planner(const std::vector<MoveRequest>& requests)
        : m_requests(requests)
        , m_waitsFor(requests.size(), kNone)
    {
    }

    OrderedMoves plan()
    {
        checkTargets();
        if (m_result.conflicts.empty())
            order();
        else
            m_result.madeFolders.clear();
        return std::move(m_result);
    }

private:
    void conflict(std::size_t i, std::string reason) { m_result.conflicts.push_back({ i, std::move(reason) }); }

    void checkTargets()
    {
        std::unordered_map<std::string, std::size_t> sources;
        std::vector<std::size_t> sameSource(m_requests.size(), kNone); // an earlier move of the same file
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            const auto [at, added]
                = sources.try_emplace(keyOf(m_requests[i].move.from, m_requests[i].target.ignoresCase), i);
            if (!added)
                sameSource[i] = at->second;
        }
        std::unordered_map<std::string, std::size_t> targets;
        std::set<std::string> made;
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            const Move& move = m_requests[i].move;
            const TargetFs& target = m_requests[i].target;
            const std::string key = keyOf(move.to, target.ignoresCase);
            if (target.device == 0) {
                conflict(i, "the target folder cannot be reached");
                continue;
            }
            if (target.device != move.identity.device) {
                conflict(i, "the target is on another file system (files are not copied)");
                continue;
            }
            if (sameSource[i] != kNone) {
                conflict(i, "moved twice: also to " + m_requests[sameSource[i]].move.to);
                continue;
            }
            if (std::string fault = faultOfLength(move.to, target); !fault.empty()) {
                conflict(i, std::move(fault));
                continue;
            }
            if (!m_writable.at(parentOf(move.from))) {
                conflict(i, "its folder " + parentOf(move.from) + " cannot be written");
                continue;
            }
            if (const auto [at, added] = targets.try_emplace(key, i); !added) {
                conflict(i, "the same new path as " + m_requests[at->second].move.from);
                continue;
            }
            if (!checkFolders(i, made))
                continue;
            // A target held by a file the run moves waits for it; one that is
            // the file itself in another spelling waits for itself, which
            // makes it a cycle of one: it goes through a temporary name.
            if (const auto holder = sources.find(key); holder != sources.end()) {
                m_waitsFor[i] = holder->second;
            } else if (m_disk.at(move.to, target.ignoresCase) != Presence::Missing) {
                conflict(i, "the target exists and does not move away");
            }
        }
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            if (made.contains(m_requests[i].move.to))
                conflict(i, "the new path is also a folder the run makes");
        }
        m_result.madeFolders.assign(made.begin(), made.end());
        std::sort(m_result.madeFolders.begin(), m_result.madeFolders.end(), pathLess);
    }

    // Every folder above the target exists as a folder or can be made, and
    // the user may write in the target's folder (or, when it is to be made,
    // in the nearest one that exists).
    bool checkFolders(std::size_t i, std::set<std::string>& made)
    {
        for (std::string folder = parentOf(m_requests[i].move.to);; folder = parentOf(folder)) {
            const Presence presence = m_disk.at(folder, m_requests[i].target.ignoresCase);
            if (presence == Presence::Folder && !m_writable.at(folder)) {
                conflict(i, folder + " cannot be written");
                return false;
            }
            if (presence == Presence::Folder)
                return true;
            if (presence == Presence::Other) {
                conflict(i, folder + " is not a folder");
                return false;
            }
            made.insert(folder);
            if (folder == "/")
                return true;
        }
    }

    void emit(std::size_t i) { m_result.steps.push_back(m_requests[i].move); }

    // Files whose target another file leaves go after it: each chain
    // from its free end; a cycle is opened by a temporary name.
    void order()
    {
        enum class State { Unseen, OnPath, Done };
        std::vector<State> state(m_requests.size(), State::Unseen);
        std::vector<std::size_t> position(m_requests.size(), 0);
        std::size_t counter = 0;
        for (std::size_t start = 0; start < m_requests.size(); ++start) {
            std::vector<std::size_t> path;
            std::size_t x = start;
            while (x != kNone && state[x] == State::Unseen) {
                state[x] = State::OnPath;
                position[x] = path.size();
                path.push_back(x);
                x = m_waitsFor[x];
            }
            if (x != kNone && state[x] == State::OnPath) {
                const std::size_t first = position[x];
                const Move& opener = m_requests[path[first]].move;
                const std::string temporary = temporaryBeside(opener.from, counter, m_disk);
                m_result.steps.push_back({ opener.from, temporary, opener.identity });
                for (std::size_t k = path.size() - 1; k > first; --k)
                    emit(path[k]);
                m_result.steps.push_back({ temporary, opener.to, opener.identity });
                for (std::size_t k = first; k < path.size(); ++k)
                    state[path[k]] = State::Done;
                path.resize(first);
            }
            for (std::size_t k = path.size(); k-- > 0;) {
                emit(path[k]);
                state[path[k]] = State::Done;
            }
        }
    }

    const std::vector<MoveRequest>& m_requests;
    std::vector<std::size_t> m_waitsFor; // the file whose path this one's target is
    Disk m_disk;
    WritableFolders m_writable;
    OrderedMoves m_result;
};

} // namespace

bool isCycleName(std::string_view path)
{
    return path.substr(path.rfind('/') + 1).starts_with(kCycleNamePrefix);
}

OrderedMoves orderMoves(const std::vector<MoveRequest>& requests)
{
    return Planner(requests).plan();
}

} // namespace zentrio
