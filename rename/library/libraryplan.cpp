#include "rename/library/libraryplan.h"

#include "platform/fs/filenames.h"
#include "rename/library/librarynamer.h"
#include "rename/moves/conflictpolicy.h"
#include "rename/playlists/playlisttext.h"
#include "tags/read/treewalk.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace zentrio {

namespace {

// A folder whose album companions may go along with its MP3 files.
struct CompanionSource {
    std::string path;
    std::size_t argument = 0;
    std::vector<std::string> companions;
};

// When every MP3 file of a whole folder goes to one folder that takes no
// other folder's files, the folder's album companions go there too; never
// out of a folder named on the command line, whatever else it holds.
void sendCompanionsAlong(const std::vector<CompanionSource>& sources, const std::unordered_set<std::string>& roots,
    std::vector<PlannedFile>& files)
{
    if (sources.empty())
        return; // no folder has companions: nothing to send
    std::unordered_map<std::string, std::unordered_set<std::string>> sourcesOf; // target folder -> source folders
    for (const PlannedFile& file : files) {
        if (!file.to.empty() && file.status != FileStatus::Skipped) // a file skipped by Skip goes nowhere
            sourcesOf[parentOf(file.to)].insert(parentOf(file.from));
    }
    std::unordered_map<std::string, std::string> goesTo; // source folder -> its one target folder
    std::unordered_set<std::string> scattered;
    for (const PlannedFile& file : files) {
        const std::string source = parentOf(file.from);
        if (file.status != FileStatus::Moved) {
            scattered.insert(source);
            continue;
        }
        const auto [at, added] = goesTo.try_emplace(source, parentOf(file.to));
        if (!added && at->second != parentOf(file.to))
            scattered.insert(source);
    }
    for (const CompanionSource& folder : sources) {
        const auto target = goesTo.find(folder.path);
        if (target == goesTo.end() || scattered.contains(folder.path) || roots.contains(folder.path)
            || sourcesOf[target->second].size() != 1)
            continue;
        for (const std::string& name : folder.companions) {
            PlannedFile other { joinPath(folder.path, name), joinPath(target->second, name), {}, folder.argument,
                true };
            const auto identity = fs::identityOf(other.from);
            if (!identity)
                continue; // changed while the plan was made: it stays
            other.identity = *identity;
            other.status = FileStatus::Moved;
            files.push_back(std::move(other));
        }
    }
}

// Policy Skip takes the files in conflict out of the run, so a new folder
// they were to share may now take the files of one folder alone: that
// folder's companions go along too. Folders whose companions were decided
// before keep that decision. True when some were added.
bool sendCompanionsAfterSkip(const std::vector<CompanionSource>& sources, const std::unordered_set<std::string>& roots,
    std::vector<PlannedFile>& files)
{
    std::unordered_set<std::string> decided;
    for (const PlannedFile& file : files) {
        if (file.carried)
            decided.insert(parentOf(file.from));
    }
    std::vector<CompanionSource> open;
    std::copy_if(sources.begin(), sources.end(), std::back_inserter(open),
        [&](const CompanionSource& source) { return !decided.contains(source.path); });
    const std::size_t before = files.size();
    sendCompanionsAlong(open, roots, files);
    return files.size() > before;
}

// Folders a move leaves, and those above them up to (not including) the
// path the file was reached from: removed at the end when empty. A folder
// named on the command line is never among them.
std::vector<EmptiedFolder> foldersLeft(const std::vector<PlannedFile>& files, const std::vector<std::string>& roots)
{
    const std::unordered_set<std::string> named(roots.begin(), roots.end());
    std::set<std::string> left;
    for (const PlannedFile& file : files) {
        if (file.status != FileStatus::Moved || file.argument >= roots.size())
            continue;
        const std::string& root = roots[file.argument];
        for (std::string folder = parentOf(file.from);
             folder.size() > root.size() && folder.starts_with(folderPath(root)) && !named.contains(folder);
             folder = parentOf(folder)) {
            if (!left.insert(folder).second)
                break; // and the folders above it, already in
        }
    }
    std::vector<EmptiedFolder> emptied;
    for (const std::string& folder : left) {
        struct stat st { };
        if (::stat(folder.c_str(), &st) == 0)
            emptied.push_back({ folder, static_cast<unsigned>(st.st_mode & 07777) });
    }
    std::sort(emptied.begin(), emptied.end(),
        [](const EmptiedFolder& a, const EmptiedFolder& b) { return pathLess(b.path, a.path); });
    return emptied;
}

// The whole run checked and ordered; conflicts are put on their files. A
// companion whose target is taken stays where it is instead, and so does,
// by policy Skip, any file in conflict; the rest is checked again without
// them.
void checkAndOrder(LibraryPlan& plan, DiskNames listed)
{
    FsCache fs;
    std::unordered_map<std::uint64_t, bool> identifies; // by device
    for (;;) {
        std::vector<MoveRequest> requests;
        std::vector<std::size_t> fileOf;
        requests.reserve(plan.files.size());
        fileOf.reserve(plan.files.size());
        // A run's files come folder by folder: the last target folder's
        // file system is not looked up again.
        std::string lastFolder; // a copy: the paths are lent to the check below
        TargetFs lastTarget;
        for (std::size_t i = 0; i < plan.files.size(); ++i) {
            PlannedFile& file = plan.files[i];
            if (!file.moves())
                continue;
            const std::string_view folder = std::string_view(file.to).substr(0, file.to.rfind('/'));
            if (lastFolder.empty() || folder != lastFolder) {
                lastTarget = fs.of(parentOf(file.to));
                lastFolder.assign(folder);
            }
            TargetFs target = lastTarget;
            if (plan.fsChoice == FsChoice::Fat)
                target.ignoresCase = true; // the same names anywhere: two spellings are one
            // A check alone reads the paths where the plan keeps them, lent and
            // given back; an order takes them into its steps.
            requests.push_back({ plan.ordered ? Move { file.from, file.to, file.identity }
                                              : Move { std::move(file.from), std::move(file.to), file.identity },
                target });
            fileOf.push_back(i);
            const auto [at, added] = identifies.try_emplace(file.identity.device, true);
            if (added)
                at->second = fs::inodesIdentifyFiles(parentOf(requests.back().move.from));
        }
        // A check made again (without the files that stay) lists its folders anew.
        if (plan.ordered) {
            plan.order = orderMoves(std::move(requests), std::exchange(listed, {}));
        } else {
            plan.order = checkMoves(requests, std::exchange(listed, {}));
            for (std::size_t k = 0; k < requests.size(); ++k) {
                plan.files[fileOf[k]].from = std::move(requests[k].move.from);
                plan.files[fileOf[k]].to = std::move(requests[k].move.to);
            }
        }
        const bool companionStays = std::any_of(plan.order.conflicts.begin(), plan.order.conflicts.end(),
            [&](const PlanConflict& conflict) { return plan.files[fileOf[conflict.request]].carried; });
        const bool skipping = plan.policy == ConflictPolicy::Skip && !plan.order.conflicts.empty();
        std::unordered_set<std::string> staying; // folders of MP3 files skipped
        for (const PlanConflict& conflict : plan.order.conflicts) {
            PlannedFile& file = plan.files[fileOf[conflict.request]];
            if (file.carried) {
                file.status = FileStatus::Skipped;
                file.reason = "stays where it is: " + conflict.reason;
            } else if (skipping) {
                file.status = FileStatus::Skipped;
                file.reason = "conflict: " + conflict.reason;
                staying.insert(parentOf(file.from));
            } else if (!companionStays) {
                file.status = FileStatus::Conflict;
                file.reason = conflict.reason;
            }
        }
        keepCompanionsOf(staying, plan);
        if (!companionStays && !skipping)
            break;
    }
    plan.recognition = {};
    for (const auto& [device, byInode] : identifies) {
        if (!byInode)
            plan.recognition.nameOnlyDevices.push_back(device);
    }
}

std::vector<std::string> rootsOf(const std::vector<std::string>& paths)
{
    std::vector<std::string> roots;
    for (const std::string& path : paths)
        roots.push_back(fs::isFolder(path) ? path : parentOf(path));
    return roots;
}

} // namespace

bool isAlbumCompanion(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    static const std::unordered_set<std::string> kCompanions { "jpg", "jpeg", "png", "gif", "bmp", "webp", "cue", "log",
        "nfo", "m3u", "m3u8" };
    return kCompanions.contains(extension);
}

RunRecord LibraryPlan::record(std::int64_t time) const
{
    RunRecord record;
    record.kind = RunKind::Moves;
    record.origin = RunOrigin::CommandLine;
    record.time = time;
    record.inodesIdentify = recognition.inodesIdentify;
    record.nameOnlyDevices = recognition.nameOnlyDevices;
    record.madeFolders = order.madeFolders;
    record.emptiedFolders = emptied;
    return record;
}

LibraryPlan planLibraryRename(
    const LibraryRequest& request, const std::function<bool(std::size_t read, std::size_t total)>& progress)
{
    LibraryPlan plan;
    plan.roots = rootsOf(request.paths);
    plan.to = request.to;
    plan.fsChoice = request.fsChoice;
    plan.policy = request.conflicts;
    FsCache fs;
    LibraryNamer namer(request, fs);
    std::vector<CompanionSource> companionSources;
    LibraryWalk walk;
    walk.paths = request.paths;
    walk.recursive = request.recursive;
    walk.formats = request.formats;
    walk.source = request.source;
    walk.onListed = [&](const WalkedFolder& folder) { return namer.listed(folder); };
    walk.onRead = [&](const WalkedFolder& folder, std::size_t file, const std::optional<IdentifiedTag>& tag,
                      std::any& made) { namer.read(folder, file, tag, made); };
    walk.onPool = [&](const WalkedFolder& folder, FolderReads& reads, std::any& made) {
        namer.named(folder, reads, made);
    };
    if (request.query)
        plan.queried = QueryTally {};
    bool listedWithoutPlaylists = true;
    DiskNames listed; // a plan only shown: the folders as the walk listed them
    walk.keepEntries = request.shownOnly;
    walk.inOrder = [&](WalkedFolder& folder, FolderReads&, std::any& made) {
        auto& named = std::any_cast<NamedFolder&>(made);
        if (plan.queried) {
            plan.queried->read += named.read;
            plan.queried->matched += named.matched;
        }
        if (!folder.listed || std::any_of(folder.others.begin(), folder.others.end(), isPlaylistName))
            listedWithoutPlaylists = false;
        if (folder.listed && request.shownOnly)
            listed.assume(folder.path, std::move(folder.entries));
        if (plan.files.empty())
            plan.files = std::move(named.files);
        else
            std::move(named.files.begin(), named.files.end(), std::back_inserter(plan.files));
        // Companions go along only with every audio file of their folder.
        if (!folder.whole || !named.whole)
            return;
        CompanionSource source { folder.path, folder.argument, {} };
        std::copy_if(folder.others.begin(), folder.others.end(), std::back_inserter(source.companions),
            [](const std::string& name) { return isAlbumCompanion(name); });
        if (!source.companions.empty())
            companionSources.push_back(std::move(source));
    };
    walk.failed = [&](const WalkFailure& failure) { plan.failures.push_back(failure); };
    walk.keepGoing = [&](std::size_t read, std::size_t found) { return !progress || progress(read, found); };
    if (!walkLibrary(walk))
        return plan;
    plan.listedWithoutPlaylists = listedWithoutPlaylists
        && std::none_of(plan.files.begin(), plan.files.end(),
            [](const PlannedFile& file) { return isPlaylistName(file.from) || isPlaylistName(file.to); });
    sendCompanionsAlong(companionSources, { plan.roots.begin(), plan.roots.end() }, plan.files);
    bool refused = false;
    for (PlannedFile& file : plan.files) {
        if (std::string fault = faultOfRoot(plan.roots[file.argument]); !fault.empty() && file.moves()) {
            file.status = FileStatus::Conflict;
            file.reason = std::move(fault);
            refused = true;
        }
    }
    plan.ordered = !request.shownOnly || !plan.listedWithoutPlaylists;
    checkWholeRun(plan, refused, std::move(listed));
    if (!refused && plan.policy == ConflictPolicy::Skip
        && sendCompanionsAfterSkip(companionSources, { plan.roots.begin(), plan.roots.end() }, plan.files))
        checkWholeRun(plan, refused); // the companions added checked with the rest
    return plan;
}

std::string faultOfRoot(const std::string& root)
{
    return root == "/" ? "made for \"/\", the whole disk: such a run moves nothing" : "";
}

bool isBelow(const std::string& path, const std::string& folder)
{
    return path.starts_with(folderPath(folder)) && path.size() > folderPath(folder).size();
}

void checkWholeRun(LibraryPlan& plan, bool refused, DiskNames listed)
{
    if (plan.policy == ConflictPolicy::Number && !refused)
        numberConflicts(plan);
    plan.emptied = foldersLeft(plan.files, plan.roots);
    checkAndOrder(plan, std::move(listed));
    if (refused && plan.order.conflicts.empty())
        plan.order.conflicts.push_back({ 0, "the plan breaks the rules of a rename" });
}

} // namespace zentrio
