#include "rename/library/savedplan.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "tags/read/audiofile.h"

#include <optional>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

// Which root a saved file lies below (the deepest), or nullopt.
std::optional<std::size_t> rootBelow(const std::string& path, const std::vector<std::string>& roots)
{
    std::optional<std::size_t> found;
    for (std::size_t r = 0; r < roots.size(); ++r) {
        if (isBelow(path, roots[r]) && (!found || roots[r].size() > roots[*found].size()))
            found = r;
    }
    return found;
}

// True when a name of `path` below `base` begins with ".": a name the
// rename never gives, as the file would vanish from every listing.
bool hiddenBelow(const std::string& path, const std::string& base)
{
    for (std::size_t start = folderPath(base).size();; ++start) {
        if (path[start] == '.')
            return true;
        start = path.find('/', start);
        if (start == std::string::npos)
            return false;
    }
}

// Why a saved move may not be made as it is written, or empty. Rules that
// need the whole plan (album companions) are checked apart.
std::string faultOfSavedMove(const PlannedFile& file, const SavedPlan& saved)
{
    if (!isPlainAbsolutePath(file.from) || !isPlainAbsolutePath(file.to))
        return "not a plain absolute path (\".\", \"..\" or \"//\" in it)";
    const auto root = rootBelow(file.from, saved.roots);
    if (!root)
        return "not below a folder the plan was made for";
    if (std::string fault = faultOfRoot(saved.roots[*root]); !fault.empty())
        return fault;
    const std::string base = saved.to.empty() ? parentOf(file.from) : saved.to;
    if (!isBelow(file.to, base))
        return "its new path is not below the folder the plan moves to";
    if (hiddenBelow(file.to, base))
        return "a name in its new path begins with \".\" (hidden)";
    if (isAudioFileName(baseOf(file.from)) && !keepsOwnExtension(baseOf(file.from), baseOf(file.to)))
        return "its new name does not end in " + ownAudioExtension(baseOf(file.from));
    const auto now = fs::identityOf(file.from);
    const fs::FileIdentity& then = file.identity;
    if (!now || now->device != then.device || now->inode != then.inode || now->size != then.size
        || now->modified != then.modified)
        return "changed, moved or deleted since the plan was made";
    return {};
}

// The audio files a folder holds now, by name, as the walk takes them:
// visible regular files and links to them (a FIFO named "x.flac" is none).
std::vector<std::string> audioFilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    fs::forEachEntry(folder, [&](int folderFd, const dirent& e) {
        struct stat st { };
        if (e.d_name[0] != '.' && isAudioFileName(e.d_name)
            && (e.d_type == DT_REG || (::fstatat(folderFd, e.d_name, &st, 0) == 0 && S_ISREG(st.st_mode))))
            names.emplace_back(e.d_name);
    });
    return names;
}

// The moves of other files than audio files are those of album companions
// as the rename sends them along: a companion's name, kept, out of a folder
// the plan was not made for, into the one folder every audio file of its
// folder goes to, which takes no other folder's files.
class CompanionRule {
public:
    explicit CompanionRule(const SavedPlan& saved)
        : m_roots(saved.roots.begin(), saved.roots.end())
    {
        for (const PlannedFile& file : saved.files) {
            m_sourcesOf[parentOf(file.to)].insert(parentOf(file.from));
            if (isAudioFileName(baseOf(file.from))) {
                m_audioTargets[parentOf(file.from)].insert(parentOf(file.to));
                m_audioMoved.insert(file.from);
            }
        }
    }

    std::string faultOf(const PlannedFile& file)
    {
        const std::string name = baseOf(file.from);
        const std::string folder = parentOf(file.from);
        const std::string target = parentOf(file.to);
        if (!isAlbumCompanion(name))
            return "neither an audio file nor an album companion (picture, cue sheet, log, playlist)";
        if (baseOf(file.to) != name)
            return "an album companion keeps its name";
        if (m_roots.contains(folder))
            return "an album companion never leaves a folder the plan was made for";
        const auto targets = m_audioTargets.find(folder);
        if (targets == m_audioTargets.end() || targets->second.size() != 1 || !targets->second.contains(target)
            || m_sourcesOf[target].size() != 1 || !wholeFolderMoves(folder))
            return "not every audio file of its folder goes to " + target + ", or other files go there too";
        return {};
    }

private:
    bool wholeFolderMoves(const std::string& folder)
    {
        const auto [known, added] = m_whole.try_emplace(folder, true);
        if (added) {
            for (const std::string& name : audioFilesIn(folder))
                known->second = known->second && m_audioMoved.contains(joinPath(folder, name));
        }
        return known->second;
    }

    std::unordered_set<std::string> m_roots;
    std::unordered_map<std::string, std::unordered_set<std::string>> m_sourcesOf; // target folder -> source folders
    std::unordered_map<std::string, std::unordered_set<std::string>> m_audioTargets; // source -> target folders
    std::unordered_set<std::string> m_audioMoved;
    std::unordered_map<std::string, bool> m_whole;
};

} // namespace

LibraryPlan replanSavedMoves(SavedPlan saved, ConflictPolicy policy)
{
    LibraryPlan plan;
    plan.policy = policy;
    bool refused = false;
    CompanionRule companions(saved);
    for (PlannedFile& file : saved.files) {
        file.carried = !isAudioFileName(baseOf(file.from));
        std::string fault = faultOfSavedMove(file, saved);
        if (fault.empty() && file.carried)
            fault = companions.faultOf(file);
        if (!fault.empty()) {
            file.status = FileStatus::Conflict;
            file.reason = std::move(fault);
            refused = true;
        } else {
            file.argument = *rootBelow(file.from, saved.roots);
        }
    }
    plan.roots = std::move(saved.roots);
    plan.to = std::move(saved.to);
    plan.fsChoice = saved.fsChoice;
    plan.files = std::move(saved.files);
    checkWholeRun(plan, refused);
    return plan;
}

} // namespace zentrio
