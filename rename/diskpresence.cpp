#include "rename/diskpresence.h"

#include "platform/filenames.h"
#include "platform/fsops.h"

#include <sys/stat.h>

namespace zentrio {

namespace {

std::string keyed(const std::string& name, int mode)
{
    const std::string composed = mode & 2 ? composedKey(name) : name;
    return mode & 1 ? caselessKey(composed) : composed;
}

bool isFolderAt(int folderFd, const char* name)
{
    struct stat st { };
    return ::fstatat(folderFd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string nameKey(const std::string& path, bool ignoresCase)
{
    return keyed(path, ignoresCase ? 3 : 2);
}

Presence DiskNames::at(const std::string& path, bool ignoresCase)
{
    return lookUp(path, ignoresCase ? kCaseless : kExact);
}

bool DiskNames::taken(const std::string& path, bool ignoresCase)
{
    return lookUp(path, kComposed | (ignoresCase ? kCaseless : kExact)) != Presence::Missing;
}

Presence DiskNames::lookUp(const std::string& path, int mode)
{
    if (path == "/")
        return Presence::Folder;
    const std::string parent = parentOf(path);
    if (folderAt(parent, mode & kCaseless) != Presence::Folder)
        return Presence::Missing;
    const std::string name = path.substr(parent.size() == 1 ? 1 : parent.size() + 1);
    const Listing& listing = listed(parent, mode);
    const auto found = listing.find(keyed(name, mode));
    return found == listing.end() ? Presence::Missing : found->second;
}

// at() for the folders above the paths asked for, each decided once.
Presence DiskNames::folderAt(const std::string& folder, bool ignoresCase)
{
    auto& known = m_folders[ignoresCase ? 1 : 0];
    if (const auto found = known.find(folder); found != known.end())
        return found->second;
    const Presence presence = at(folder, ignoresCase);
    known.emplace(folder, presence);
    return presence;
}

const DiskNames::Listing& DiskNames::listed(const std::string& folder, int mode)
{
    auto& listings = m_listings[mode];
    if (const auto known = listings.find(folder); known != listings.end())
        return known->second;
    Listing& listing = listings[folder];
    fs::forEachEntry(folder, [&](int folderFd, const dirent& e) {
        const bool folderEntry = e.d_type == DT_DIR
            || ((e.d_type == DT_LNK || e.d_type == DT_UNKNOWN) && isFolderAt(folderFd, e.d_name));
        listing[keyed(e.d_name, mode)] = folderEntry ? Presence::Folder : Presence::Other;
    });
    return listing;
}

} // namespace zentrio
