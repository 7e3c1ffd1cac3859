#include "rename/treewalk.h"

#include "platform/filenames.h"
#include "platform/fsops.h"
#include "platform/readpool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

enum class Kind { File, Folder, FileLink, Other };

Kind kindAt(int folderFd, const dirent& entry)
{
    struct stat st { };
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        if (::fstatat(folderFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::Other;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    switch (type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
        return ::fstatat(folderFd, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode) ? Kind::FileLink : Kind::Other;
    default:
        return Kind::Other;
    }
}

struct Listing {
    std::vector<WalkedFile> mp3s;
    std::vector<std::string> others;
    std::vector<std::string> subfolders;
    std::string error; // empty when listed
};

Listing listOne(const std::string& folder)
{
    Listing listing;
    const int error = fs::forEachEntry(folder, [&](int folderFd, const dirent& e) {
        if (e.d_name[0] == '.')
            return; // hidden, as in the window's list
        const Kind kind = kindAt(folderFd, e);
        if (kind == Kind::Folder)
            listing.subfolders.emplace_back(e.d_name);
        else if ((kind == Kind::File || kind == Kind::FileLink) && hasMp3Suffix(e.d_name))
            listing.mp3s.push_back({ e.d_name, kind == Kind::FileLink });
        else if (kind == Kind::File)
            listing.others.emplace_back(e.d_name);
    });
    if (error != 0)
        listing.error = std::strerror(error);
    const auto byName = [](const WalkedFile& a, const WalkedFile& b) { return a.name < b.name; };
    std::sort(listing.mp3s.begin(), listing.mp3s.end(), byName);
    std::sort(listing.others.begin(), listing.others.end());
    return listing;
}

struct Pending {
    std::string path;
    std::size_t argument;
};

// Lists the folders level by level, each level on the read pool. A folder
// named on the command line is listed once, as reached from its own
// argument, also when it lies below another one named.
void walkFolders(std::vector<Pending> level, bool recursive, std::map<std::string, WalkedFolder>& found,
    std::vector<WalkFailure>& failures)
{
    std::unordered_set<std::string> named;
    for (const Pending& folder : level)
        named.insert(folder.path);
    while (!level.empty()) {
        auto listings = readInOrder(
            level.size(), [&](std::size_t i) { return std::optional<Listing>(listOne(level[i].path)); }, ReadAll::Yes);
        std::vector<Pending> next;
        for (std::size_t i = 0; i < level.size(); ++i) {
            Listing& listing = *listings[i];
            if (!listing.error.empty()) {
                failures.push_back({ level[i].path, listing.error });
                continue;
            }
            WalkedFolder& folder = found[level[i].path];
            folder = { level[i].path, level[i].argument, true, std::move(listing.mp3s), std::move(listing.others) };
            if (recursive) {
                for (const std::string& sub : listing.subfolders) {
                    const std::string path = joinPath(level[i].path, sub);
                    if (!named.contains(path) && !found.contains(path))
                        next.push_back({ path, level[i].argument });
                }
            }
        }
        level = std::move(next);
    }
}

} // namespace

bool pathLess(const std::string& a, const std::string& b)
{
    const auto key = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return key(x) < key(y); });
}

std::size_t TreeWalk::fileCount() const
{
    std::size_t count = 0;
    for (const WalkedFolder& folder : folders)
        count += folder.mp3s.size();
    return count;
}

TreeWalk walkTree(const std::vector<std::string>& paths, bool recursive)
{
    TreeWalk walk;
    std::map<std::string, WalkedFolder> found;
    std::vector<Pending> folders;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        struct stat st { };
        if (::stat(paths[i].c_str(), &st) != 0) {
            walk.failures.push_back({ paths[i], std::strerror(errno) });
        } else if (S_ISDIR(st.st_mode)) {
            if (std::none_of(folders.begin(), folders.end(), [&](const Pending& f) { return f.path == paths[i]; }))
                folders.push_back({ paths[i], i });
        } else if (!hasMp3Suffix(paths[i]) || !S_ISREG(st.st_mode)) {
            walk.failures.push_back({ paths[i], "not an MP3 file" });
        }
    }
    walkFolders(std::move(folders), recursive, found, walk.failures);
    // Files named one by one join their folder's entry, unless the whole folder is in.
    std::unordered_map<std::string, std::unordered_set<std::string>> namedFiles; // folder -> names
    for (std::size_t i = 0; i < paths.size(); ++i) {
        struct stat st { };
        if (::stat(paths[i].c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !hasMp3Suffix(paths[i]))
            continue;
        struct stat own { };
        const bool link = ::lstat(paths[i].c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        const std::string folderPath = parentOf(paths[i]);
        WalkedFolder& folder
            = found.try_emplace(folderPath, WalkedFolder { folderPath, i, false, {}, {} }).first->second;
        if (!folder.whole && namedFiles[folderPath].insert(baseOf(paths[i])).second)
            folder.mp3s.push_back({ baseOf(paths[i]), link });
    }
    for (auto& [path, folder] : found) {
        std::sort(folder.mp3s.begin(), folder.mp3s.end(),
            [](const WalkedFile& a, const WalkedFile& b) { return a.name < b.name; });
        walk.folders.push_back(std::move(folder));
    }
    std::sort(walk.folders.begin(), walk.folders.end(),
        [](const WalkedFolder& a, const WalkedFolder& b) { return pathLess(a.path, b.path); });
    return walk;
}

} // namespace zentrio
