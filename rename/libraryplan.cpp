#include "rename/libraryplan.h"

#include "platform/filenames.h"
#include "rename/libraryread.h"
#include "rename/moverun.h"
#include "rename/pathnaming.h"

#include <algorithm>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The file systems of the folders a run touches, each looked up once.
class FsCache {
public:
    const TargetFs& of(const std::string& folder)
    {
        auto found = m_known.find(folder);
        if (found == m_known.end())
            found = m_known.emplace(folder, targetFsOf(folder).value_or(TargetFs {})).first;
        return found->second;
    }

private:
    std::unordered_map<std::string, TargetFs> m_known;
};

// Names a folder's MP3 files by the pattern, numbered in the folder's order.
class Namer {
public:
    Namer(const LibraryRequest& request, FsCache& fs)
        : m_request(request)
        , m_fs(fs)
    {
    }

    void nameFolder(const WalkedFolder& folder, FolderReads& reads, std::vector<PlannedFile>& files)
    {
        std::vector<const TagFields*> tags;
        for (const auto& read : reads) {
            if (read && read->tag.found)
                tags.push_back(&read->tag);
        }
        const NameOptions options = withRunWidths(m_request.options, tags);
        const std::string& root = m_request.to.empty() ? folder.path : m_request.to;
        const FsNames names = namesUnder(m_request.fsChoice, m_fs.of(root));
        for (std::size_t i = 0; i < folder.mp3s.size(); ++i) {
            PlannedFile file { joinPath(folder.path, folder.mp3s[i].name), {}, {}, folder.argument };
            if (reads[i])
                file.identity = reads[i]->identity;
            decide(file, folder.mp3s[i], reads[i], options, static_cast<int>(i) + 1, root, names);
            files.push_back(std::move(file));
        }
    }

private:
    void decide(PlannedFile& file, const WalkedFile& walked, const std::optional<IdentifiedTag>& read,
        const NameOptions& options, int number, const std::string& root, FsNames names)
    {
        const auto skip = [&](FileStatus status, std::string reason) {
            file.status = status;
            file.reason = std::move(reason);
        };
        if (walked.isLink)
            return skip(FileStatus::Skipped, "a symbolic link: not renamed");
        if (!read)
            return skip(FileStatus::Failed, "cannot be read");
        if (!read->tag.found)
            return skip(FileStatus::Skipped, "no tag");
        if (const QStringList missing = missingFields(options.own->parts, read->tag); !missing.isEmpty())
            return skip(FileStatus::Skipped, "no " + missing.join(", ").toStdString());
        const std::vector<QString> components = composeNewPath(read->tag, options, number);
        if (components.empty())
            return skip(FileStatus::Skipped, "the pattern gives no name");
        std::string to = root;
        for (const QString& component : components)
            to = joinPath(to, textToName(fitComponent(component, names)));
        file.to = to;
        file.status = to == file.from             ? FileStatus::Unchanged
            : parentOf(to) == parentOf(file.from) ? FileStatus::Renamed
                                                  : FileStatus::Moved;
    }

    const LibraryRequest& m_request;
    FsCache& m_fs;
};

// When every MP3 file of a whole folder goes to one folder that takes
// no other folder's files, the folder's other files go there too.
void sendOthersAlong(const TreeWalk& walk, std::vector<PlannedFile>& files)
{
    std::unordered_map<std::string, std::unordered_set<std::string>> sourcesOf; // target folder -> source folders
    for (const PlannedFile& file : files) {
        if (!file.to.empty())
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
    for (const WalkedFolder& folder : walk.folders) {
        const auto target = goesTo.find(folder.path);
        if (!folder.whole || folder.others.empty() || target == goesTo.end() || scattered.contains(folder.path)
            || sourcesOf[target->second].size() != 1)
            continue;
        for (const std::string& name : folder.others) {
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

// Folders a move leaves, and those above them up to (not including)
// the path the file was reached from: removed at the end when empty.
std::vector<EmptiedFolder> foldersLeft(const std::vector<PlannedFile>& files, const std::vector<std::string>& roots)
{
    std::set<std::string> left;
    for (const PlannedFile& file : files) {
        if (file.status != FileStatus::Moved)
            continue;
        const std::string& root = roots[file.argument];
        for (std::string folder = parentOf(file.from);
             folder.size() > root.size() && folder.starts_with(folderPath(root)); folder = parentOf(folder))
            left.insert(folder);
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

// The whole run checked and ordered; conflicts are put on their files.
void checkAndOrder(LibraryPlan& plan)
{
    FsCache fs;
    std::vector<MoveRequest> requests;
    std::vector<std::size_t> fileOf;
    std::unordered_map<std::uint64_t, bool> identifies; // by device
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        PlannedFile& file = plan.files[i];
        if (!file.moves())
            continue;
        requests.push_back({ { file.from, file.to, file.identity }, fs.of(parentOf(file.to)) });
        fileOf.push_back(i);
        const auto [at, added] = identifies.try_emplace(file.identity.device, true);
        if (added)
            at->second = fs::inodesIdentifyFiles(parentOf(file.from));
        plan.inodesIdentify = plan.inodesIdentify && at->second;
    }
    plan.order = orderMoves(requests);
    for (const PlanConflict& conflict : plan.order.conflicts) {
        PlannedFile& file = plan.files[fileOf[conflict.request]];
        file.status = FileStatus::Conflict;
        file.reason = conflict.reason;
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

RunRecord LibraryPlan::record(std::int64_t time) const
{
    RunRecord record;
    record.kind = RunKind::Moves;
    record.origin = RunOrigin::CommandLine;
    record.time = time;
    record.inodesIdentify = inodesIdentify;
    record.batch = kMarkBatch;
    record.madeFolders = order.madeFolders;
    record.emptiedFolders = emptied;
    record.moves = order.steps;
    return record;
}

LibraryPlan planLibraryRename(
    const LibraryRequest& request, const std::function<bool(std::size_t read, std::size_t total)>& progress)
{
    LibraryPlan plan;
    const TreeWalk walk = walkTree(request.paths, request.recursive);
    plan.failures = walk.failures;
    FsCache fs;
    Namer namer(request, fs);
    const std::size_t total = walk.fileCount();
    plan.files.reserve(total);
    const bool complete = readFolderTags(
        walk, request.source,
        [&](const WalkedFolder& folder, FolderReads& reads) { namer.nameFolder(folder, reads, plan.files); },
        [&](std::size_t read) { return !progress || progress(read, total); });
    if (!complete)
        return plan;
    sendOthersAlong(walk, plan.files);
    plan.emptied = foldersLeft(plan.files, rootsOf(request.paths));
    checkAndOrder(plan);
    return plan;
}

LibraryPlan replanSavedMoves(std::vector<PlannedFile> files, std::vector<EmptiedFolder> emptied)
{
    LibraryPlan plan;
    plan.files = std::move(files);
    plan.emptied = std::move(emptied);
    for (PlannedFile& file : plan.files) {
        const auto now = fs::identityOf(file.from);
        const fs::FileIdentity& then = file.identity;
        if (!now || now->device != then.device || now->inode != then.inode || now->size != then.size
            || now->modified != then.modified) {
            file.status = FileStatus::Conflict;
            file.reason = "changed, moved or deleted since the plan was made";
        }
    }
    const bool stale = std::any_of(
        plan.files.begin(), plan.files.end(), [](const PlannedFile& f) { return f.status == FileStatus::Conflict; });
    checkAndOrder(plan);
    if (stale && plan.order.conflicts.empty())
        plan.order.conflicts.push_back({ 0, "the plan is stale" });
    return plan;
}

} // namespace zentrio
