#include "rename/playlists/playlistcopies.h"

#include "platform/fs/digest.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

// A copy larger than this holds no bytes of a playlist the run followed
// (16 MB at most before, its entries' new names seldom much longer).
constexpr off_t kLargestCopy = 64 * 1024 * 1024;

// The length of the random tail mkstemp puts in place of "XXXXXX".
constexpr std::size_t kTailLength = 6;

std::string nameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

bool holdsRunBytes(const std::string& path, const PlaylistRewrite& playlist)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestCopy)
        return false;
    const auto bytes = fs::readWholeFile(path);
    return bytes && (*bytes == playlist.oldBytes || digestOf(*bytes) == playlist.newDigest);
}

// True when `name` is such a copy's name for the playlist named `playlist`.
bool isRewriteCopyName(std::string_view name, std::string_view playlist)
{
    if (playlist.empty() || name.size() != playlist.size() + 2 + kTailLength)
        return false;
    const std::string_view tail = name.substr(name.size() - kTailLength);
    return name.front() == '.' && name.substr(1, playlist.size()) == playlist && name[playlist.size() + 1] == '.'
        && std::all_of(tail.begin(), tail.end(), [](char c) {
               const char lower = static_cast<char>(c | 0x20);
               return (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'z'); // mkstemp's letters
           });
}

} // namespace

RewriteCopies rewriteCopiesOf(const PlaylistRewrite& playlist)
{
    RewriteCopies copies;
    std::set<std::string> places { playlist.path, playlist.before };
    for (const std::string& place : places) {
        const std::string folder = parentOf(place);
        const std::string name = nameOf(place);
        std::vector<std::string> found;
        fs::forEachEntry(folder, [&](int, const dirent& entry) {
            if (isRewriteCopyName(entry.d_name, name))
                found.push_back((folder == "/" ? "" : folder) + "/" + entry.d_name);
        });
        for (std::string& copy : found)
            (holdsRunBytes(copy, playlist) ? copies.ours : copies.others).push_back(std::move(copy));
    }
    return copies;
}

int removeRewriteCopies(const std::vector<std::string>& copies)
{
    int removed = 0;
    std::set<std::string> folders;
    for (const std::string& copy : copies) {
        if (::unlink(copy.c_str()) == 0) {
            ++removed;
            folders.insert(parentOf(copy));
        }
    }
    for (const std::string& folder : folders)
        (void)fs::syncFolder(folder);
    return removed;
}

} // namespace zentrio
