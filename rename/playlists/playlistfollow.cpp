#include "rename/playlists/playlistfollow.h"

#include "platform/fs/digest.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"
#include "rename/playlists/playlisttext.h"
#include "rename/history/runtrace.h"

#include <algorithm>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

// Larger files are no playlists a person keeps beside an album.
constexpr std::int64_t kLargestPlaylist = 16 * 1024 * 1024;

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Each moved file's first path to its last: a cycle's temporary name and a
// chain's steps joined into one move.
std::unordered_map<std::string, std::string> netMoves(const std::vector<Move>& steps, const MovesDone& done)
{
    std::unordered_map<std::string, std::string> originOf; // where each file now was first
    for (std::size_t k = 0; k < steps.size(); ++k) {
        if (!done.made(k))
            continue;
        const auto earlier = originOf.find(steps[k].from);
        std::string origin = earlier == originOf.end() ? steps[k].from : earlier->second;
        if (earlier != originOf.end())
            originOf.erase(earlier);
        originOf[steps[k].to] = std::move(origin);
    }
    std::unordered_map<std::string, std::string> moved;
    for (auto& [now, origin] : originOf) {
        if (now != origin)
            moved.emplace(plainPath(origin), plainPath(now));
    }
    return moved;
}

// The playlists to look at: where each lay before the run, by where it lies now.
std::map<std::string, std::string> playlistsOf(const std::unordered_map<std::string, std::string>& moved)
{
    std::map<std::string, std::string> playlists;
    std::set<std::string> folders;
    for (const auto& [origin, now] : moved) {
        folders.insert(folderOf(origin));
        if (isPlaylistName(now))
            playlists.emplace(now, origin);
    }
    // Listed at once, as the run's moves were made: on a share each listing waits.
    const std::vector<std::string> listed(folders.begin(), folders.end());
    const auto entries = readInOrder(
        listed.size(), [&](std::size_t i) { return fs::listFolder(listed[i]); }, ReadAll::Yes);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        for (const fs::DirEntry& entry : entries[i] ? *entries[i] : std::vector<fs::DirEntry>()) {
            const std::string path = (listed[i] == "/" ? "" : listed[i]) + '/' + entry.name;
            if (isPlaylistName(entry.name) && !moved.contains(path))
                playlists.emplace(path, path);
        }
    }
    return playlists;
}

// The playlist's bytes when it is a plain file of a playlist's size with
// one name: a rewrite replaces the file, which would part a hard link's
// other names from it.
std::optional<std::string> playlistBytes(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || st.st_size > kLargestPlaylist)
        return std::nullopt;
    return fs::readWholeFile(path);
}

// False when no step moves a playlist and none lies in a folder a step
// leaves: then no playlist can follow the run, and joining a large run's
// steps into moves, which costs more than the listings, is not needed. The
// folders looked at hold every folder playlistsOf would list.
bool playlistsNear(const std::vector<Move>& steps)
{
    std::unordered_set<std::string_view> folders;
    std::string_view last; // a run's steps come folder by folder
    for (const Move& step : steps) {
        if (isPlaylistName(step.from) || isPlaylistName(step.to))
            return true;
        const std::string_view from = step.from;
        const std::size_t slash = from.rfind('/');
        const std::string_view folder = slash == 0 ? std::string_view("/") : from.substr(0, slash);
        if (folder != last)
            folders.insert(folder);
        last = folder;
    }
    // Only the names are looked at, as the folder is read: a folder of
    // thousands of files makes no list of its entries for it.
    const std::vector<std::string> listed(folders.begin(), folders.end());
    const auto holdsOne = readInOrder(
        listed.size(),
        [&](std::size_t i) -> std::optional<bool> {
            bool found = false;
            const int error = fs::forEachEntry(listed[i], [&](int, const dirent& entry) {
                found = found || (entry.d_name[0] != '.' && isPlaylistName(entry.d_name));
            });
            return error == 0 ? std::optional(found) : std::nullopt; // a folder not listed whole holds none
        },
        ReadAll::Yes);
    return std::any_of(holdsOne.begin(), holdsOne.end(), [](const auto& holds) { return holds.value_or(false); });
}

// Each playlist whose entries name moved files, with its new text, read
// where it lies now, or (`beforeTheRun`) where it lay.
std::vector<std::pair<PlaylistRewrite, std::string>> rewritesOf(
    const std::unordered_map<std::string, std::string>& moved, bool beforeTheRun)
{
    std::vector<std::pair<PlaylistRewrite, std::string>> rewrites;
    for (const auto& [path, before] : playlistsOf(moved)) {
        auto old = playlistBytes(beforeTheRun ? before : path);
        auto text = old ? rewritePlaylist(*old, folderOf(before), folderOf(path), moved) : std::nullopt;
        if (text)
            rewrites.push_back({ { path, before, digestOf(*text), std::move(*old) }, std::move(*text) });
    }
    return rewrites;
}

} // namespace

std::vector<std::string> playlistsToRewrite(const std::vector<Move>& steps)
{
    std::vector<std::string> paths;
    if (!playlistsNear(steps))
        return paths;
    MovesDone all;
    all.done = steps.size();
    for (const auto& [rewrite, text] : rewritesOf(netMoves(steps, all), true))
        paths.push_back(rewrite.path);
    return paths;
}

PlaylistsFollowed followPlaylists(const std::vector<Move>& steps, const MovesDone& done, RunWriter& journal)
{
    PlaylistsFollowed followed;
    if (!playlistsNear(steps))
        return followed;
    std::vector<RewrittenFile> newInodes;
    for (const auto& [rewrite, text] : rewritesOf(netMoves(steps, done), false)) {
        const std::string& path = rewrite.path;
        const auto identity = fs::identityOf(path);
        if (!journal.note(formatPlaylistLine(rewrite))) {
            followed.failures.push_back({ path, "the rename journal cannot be written; left as it was" });
            continue;
        }
        if (!fs::replaceFileAtomically(path, text)) {
            followed.failures.push_back({ path, "cannot be rewritten; left as it was" });
            continue;
        }
        followed.rewritten.push_back(path);
        if (identity)
            newInodes.push_back({ path, *identity });
    }
    // The older runs that left these playlists where they lie know them by their new inodes.
    noteRewritten(RunHistory(folderOf(journal.path())), newInodes);
    return followed;
}

} // namespace zentrio
