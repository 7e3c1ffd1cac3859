#include "rename/moves/diskpresence.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <algorithm>
#include <cerrno>
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

Presence DiskNames::lookUp(std::string_view path, int mode)
{
    if (path == "/")
        return Presence::Folder;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return Presence::Missing;
    const std::string_view parent = slash == 0 ? std::string_view("/") : path.substr(0, slash);
    Folder* const known = m_last.folder && m_last.caseless == bool(mode & kCaseless) && m_last.path == parent
        ? m_last.folder
        : nullptr;
    if (!known && folderAt(parent, mode & kCaseless) != Presence::Folder)
        return Presence::Missing;
    Folder& folder = known ? *known : listedFolder(parent);
    if (!known)
        m_last = { std::string(parent), bool(mode & kCaseless), &folder };
    const std::string_view name = path.substr(slash + 1);
    if (folder.unlisted)
        return presenceOne(path, name, mode);
    if (mode == kExact || mode == kComposed) {
        // A composed name that stands as it is on the disk is taken; the
        // other composed names come from names the disk holds in another
        // form, kept apart so that a folder of plain names is listed once.
        const Listing& exact = listed(folder, kExact);
        const bool plain = mode == kExact || isAsciiName(name);
        const std::string composed = plain ? std::string() : composedKey(name);
        const std::string_view key = plain ? name : std::string_view(composed);
        if (const Presence* found = exact.find(key))
            return *found;
        if (mode == kExact || exact.allAscii())
            return Presence::Missing; // a folder of plain names: nothing else to look at
        const Presence* found = listed(folder, kComposed).find(key);
        return found ? *found : Presence::Missing;
    }
    // Without letter case: the spelling itself first, which a volume that
    // keeps letter case (FAT's rules asked for on it) finds there whatever
    // else differs from it in case alone.
    if (const Presence* found = listed(folder, kExact).find(name))
        return *found;
    const Presence* found = listed(folder, mode).find(keyed(std::string(name), mode));
    return found ? *found : Presence::Missing;
}

void DiskNames::assume(const std::string& folder, std::vector<std::pair<std::string, bool>> entries)
{
    Listing exact(entries.size());
    for (auto& [name, isFolder] : entries)
        exact.add(std::move(name), isFolder ? Presence::Folder : Presence::Other);
    m_listed[folder].byMode[kExact] = std::move(exact);
}

// What stands at the path of a folder that could not be listed, looked up
// by itself: its bytes, and for a composed look-up its composed and
// decomposed spellings too. A name the system will not say is there or not
// is taken; in a folder one may not enter, nothing is there (and the check
// refuses the folder as one that cannot be written).
Presence DiskNames::presenceOne(std::string_view path, std::string_view name, int mode)
{
    const auto at = [](const std::string& spelled) {
        struct stat st { };
        if (::lstat(spelled.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR || errno == EACCES ? Presence::Missing : Presence::Other;
        if (S_ISLNK(st.st_mode) && ::stat(spelled.c_str(), &st) != 0)
            return Presence::Other; // a link to nothing
        return S_ISDIR(st.st_mode) ? Presence::Folder : Presence::Other;
    };
    const Presence exact = at(std::string(path));
    if (exact != Presence::Missing || !(mode & kComposed) || isAsciiName(name) || !isValidUtf8(name))
        return exact;
    const std::string folder(path.substr(0, path.size() - name.size()));
    const QString text = nameToText(name);
    for (const auto form : { QString::NormalizationForm_C, QString::NormalizationForm_D }) {
        if (const Presence other = at(folder + textToName(text.normalized(form))); other != Presence::Missing)
            return other;
    }
    return Presence::Missing;
}

// at() for the folders above the paths asked for, each decided once.
Presence DiskNames::folderAt(std::string_view folder, bool ignoresCase)
{
    auto& known = m_folders[ignoresCase ? 1 : 0];
    if (const auto found = known.find(folder); found != known.end())
        return found->second;
    const Presence presence = lookUp(folder, ignoresCase ? kCaseless : kExact);
    known.emplace(std::string(folder), presence);
    return presence;
}

DiskNames::Folder& DiskNames::listedFolder(std::string_view path)
{
    if (const auto known = m_listed.find(path); known != m_listed.end())
        return known->second;
    Folder& folder = m_listed[std::string(path)];
    Listing& exact = folder.byMode[kExact].emplace();
    const int error = fs::forEachEntry(std::string(path), [&](int folderFd, const dirent& e) {
        const bool folderEntry = e.d_type == DT_DIR
            || ((e.d_type == DT_LNK || e.d_type == DT_UNKNOWN) && isFolderAt(folderFd, e.d_name));
        exact.add(e.d_name, folderEntry ? Presence::Folder : Presence::Other);
    });
    folder.unlisted = error != 0; // a part of a listing tells nothing of the names it did not reach
    return folder;
}

// The listing keyed by the mode, made from the exact one; for kComposed
// alone, only the names whose composed form differs from their bytes.
const DiskNames::Listing& DiskNames::listed(Folder& folder, int mode)
{
    std::optional<Listing>& listing = folder.byMode[mode];
    if (listing)
        return *listing;
    const Listing& exact = *folder.byMode[kExact];
    listing.emplace(mode == kComposed ? 0 : exact.size());
    if (mode == kComposed && exact.allAscii())
        return *listing; // every name its own composed form: nothing to key
    for (std::size_t k = 0; k < exact.size(); ++k) {
        const std::string& name = exact.name(k);
        if (mode == kComposed && isAsciiName(name))
            continue;
        std::string key = keyed(name, mode);
        if (mode != kComposed || key != name)
            listing->add(std::move(key), exact.presence(k));
    }
    return *listing;
}

DiskNames::Listing::Listing(std::size_t expected)
    : m_index(expected)
    , m_allAscii(true)
{
    m_presences.reserve(expected);
}

void DiskNames::Listing::add(std::string name, Presence presence)
{
    const HashedText key = HashedText::of(name);
    if (const auto at = m_index.find(key)) {
        if (m_presences[*at] != presence)
            m_presences[*at] = Presence::Other; // a folder and a file under one key: no folder to go into
        return;
    }
    m_allAscii = m_allAscii && isAsciiName(name);
    m_names.push_back(std::move(name));
    m_presences.push_back(presence);
    m_index.add({ m_names.back(), key.hash }, m_names.size() - 1);
}

const Presence* DiskNames::Listing::find(std::string_view name) const
{
    const auto at = m_index.find(HashedText::of(name));
    return at ? &m_presences[*at] : nullptr;
}

} // namespace zentrio
