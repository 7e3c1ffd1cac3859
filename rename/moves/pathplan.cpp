#include "rename/moves/pathplan.h"

#include "platform/fs/filenames.h"
#include "rename/moves/diskpresence.h"
#include "rename/moves/movelimits.h"
#include "rename/moves/textindex.h"
#include "tags/read/treewalk.h"

#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <map>
#include <set>
#include <span>
#include <unistd.h>

namespace zentrio {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The keys a run's paths are compared by, as views: a path that is its own
// key (letter case kept and nothing to compose, as plain names are) is not
// copied; other keys are kept here.
class PathKeys {
public:
    struct Keys {
        HashedText exact; // the path's bytes, or with `ignoresCase` its caseless key
        HashedText name; // its nameKey
    };

    Keys of(const std::string& path, bool ignoresCase)
    {
        const std::string_view exact
            = ignoresCase ? std::string_view(m_kept.emplace_back(caselessKey(path))) : std::string_view(path);
        const bool plain = !ignoresCase && isAsciiName(path);
        const std::string_view name
            = plain ? std::string_view(path) : std::string_view(m_kept.emplace_back(nameKey(path, ignoresCase)));
        const HashedText exactKey = HashedText::of(exact);
        return { exactKey, name.data() == exact.data() ? exactKey : HashedText::of(name) };
    }

private:
    std::deque<std::string> m_kept;
};

// A hidden name beside the file that nothing holds.
std::string temporaryBeside(const std::string& path, std::size_t& counter, DiskNames& disk)
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
    Planner(std::span<const MoveRequest> requests, DiskNames listed)
        : m_requests(requests)
        , m_waitsFor(m_requests.size(), kNone)
        , m_disk(std::move(listed))
    {
    }

    // `toOrder` (the requests checked, nullptr for a check alone) gives its
    // paths to the steps.
    OrderedMoves plan(std::vector<MoveRequest>* toOrder)
    {
        checkTargets();
        if (!m_result.conflicts.empty())
            m_result.madeFolders.clear();
        else if (toOrder)
            order(*toOrder);
        return std::move(m_result);
    }

private:
    void conflict(std::size_t i, std::string reason) { m_result.conflicts.push_back({ i, std::move(reason) }); }

    void checkTargets()
    {
        PathKeys keys;
        TextIndex sources(m_requests.size());
        TextIndex namedSources; // by nameKey: another spelling leaves too
        std::vector<std::size_t> sameSource(m_requests.size(), kNone); // an earlier move of the same file
        bool ownNames = true; // every source path its own nameKey, as plain names are
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            const PathKeys::Keys from = keys.of(m_requests[i].move.from, m_requests[i].target.ignoresCase);
            if (const auto [earlier, added] = sources.add(from.exact, i); !added)
                sameSource[i] = earlier;
            if (ownNames && from.name.text.data() != from.exact.text.data()) {
                ownNames = false;
                for (std::size_t k = 0; k < i; ++k) // those before it, keyed by name as by path
                    namedSources.add(keys.of(m_requests[k].move.from, m_requests[k].target.ignoresCase).name, k);
            }
            if (!ownNames)
                namedSources.add(from.name, i);
        }
        // Where every source is its own nameKey, the index by path is the one by name.
        const TextIndex& sourceNames = ownNames ? sources : namedSources;
        TextIndex targets(m_requests.size());
        std::set<std::string> made;
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            const Move& move = m_requests[i].move;
            const TargetFs& target = m_requests[i].target;
            const auto [key, name] = keys.of(move.to, target.ignoresCase);
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
            if (!writableSource(move.from)) {
                conflict(i, "its folder " + parentOf(move.from) + " cannot be written");
                continue;
            }
            if (const auto [earlier, added] = targets.add(name, i); !added) {
                conflict(i, "the same new path as " + m_requests[earlier].move.from);
                continue;
            }
            if (!checkFolders(i, made))
                continue;
            // A target held by a file the run moves waits for it; one that is
            // the file itself in another spelling waits for itself, which
            // makes it a cycle of one: it goes through a temporary name. A
            // name held in another Unicode form is taken as well (the two
            // would look alike, and some volumes take them for one).
            if (const auto holder = sources.find(key)) {
                m_waitsFor[i] = *holder;
            } else if (m_disk.at(move.to, target.ignoresCase) != Presence::Missing) {
                conflict(i, "the target exists and does not move away");
            } else if (const auto other = sourceNames.find(name)) {
                m_waitsFor[i] = *other;
            } else if (m_disk.taken(move.to, target.ignoresCase)) {
                conflict(i, "a file of the same name in another Unicode form exists and does not move away");
            }
        }
        for (std::size_t i = 0; i < m_requests.size(); ++i) {
            if (made.contains(m_requests[i].move.to))
                conflict(i, "the new path is also a folder the run makes");
        }
        m_result.madeFolders.assign(made.begin(), made.end());
        std::sort(m_result.madeFolders.begin(), m_result.madeFolders.end(), pathLess);
    }

    // True when the user may write in the folder the file leaves. Files of
    // one folder come together: the last folder found writable is not
    // looked up again.
    bool writableSource(const std::string& from)
    {
        const std::string_view folder = std::string_view(from).substr(0, from.rfind('/'));
        if (!m_lastWritable.empty() && folder == m_lastWritable)
            return true;
        const std::string parent = parentOf(from);
        if (!m_writable.at(parent))
            return false;
        m_lastWritable = folder;
        return true;
    }

    // Every folder above the target exists as a folder or can be made, and
    // the user may write in the target's folder (or, when it is to be made,
    // in the nearest one that exists). The last target folder found sound is
    // not looked at again: a run's files come folder by folder.
    bool checkFolders(std::size_t i, std::set<std::string>& made)
    {
        const std::string& to = m_requests[i].move.to;
        const std::string_view target = std::string_view(to).substr(0, to.rfind('/'));
        const bool ignoresCase = m_requests[i].target.ignoresCase;
        if (!m_lastSound.empty() && target == m_lastSound && ignoresCase == m_lastSoundCaseless)
            return true;
        if (!foldersSound(i, made))
            return false;
        m_lastSound = target;
        m_lastSoundCaseless = ignoresCase;
        return true;
    }

    bool foldersSound(std::size_t i, std::set<std::string>& made)
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

    // Files whose target another file leaves go after it: each chain
    // from its free end; a cycle is opened by a temporary name. Each
    // request is emitted once: its paths move into the step.
    void order(std::vector<MoveRequest>& requests)
    {
        const auto emit = [&](std::size_t i) { m_result.steps.push_back(std::move(requests[i].move)); };
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
                Move& opener = requests[path[first]].move;
                const std::string temporary = temporaryBeside(opener.from, counter, m_disk);
                m_result.steps.push_back({ opener.from, temporary, opener.identity });
                for (std::size_t k = path.size() - 1; k > first; --k)
                    emit(path[k]);
                m_result.steps.push_back({ temporary, std::move(opener.to), opener.identity });
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

    std::span<const MoveRequest> m_requests;
    std::vector<std::size_t> m_waitsFor; // the file whose path this one's target is
    DiskNames m_disk;
    WritableFolders m_writable;
    std::string_view m_lastWritable; // views into the requests' paths
    std::string_view m_lastSound;
    bool m_lastSoundCaseless = false;
    OrderedMoves m_result;
};

} // namespace

bool isCycleName(std::string_view path)
{
    return path.substr(path.rfind('/') + 1).starts_with(kCycleNamePrefix);
}

OrderedMoves orderMoves(std::vector<MoveRequest> requests, DiskNames listed)
{
    return Planner(requests, std::move(listed)).plan(&requests);
}

OrderedMoves checkMoves(std::span<const MoveRequest> requests, DiskNames listed)
{
    return Planner(requests, std::move(listed)).plan(nullptr);
}

} // namespace zentrio
