#include "platform/fs/droptarget.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <QMimeDatabase>

#include <algorithm>

namespace zentrio {

namespace {

    std::string_view lastName(std::string_view path)
    {
        const std::size_t slash = path.rfind('/');
        return slash == std::string_view::npos ? path : path.substr(slash + 1);
    }

    // A name whose ending the MIME database knows ("notes.txt", "cover.jpg")
    // is a file of another kind; "Album", "R.E.M. - Monster" or "Vol. 2"
    // may be folders.
    bool namesAKindOfFile(std::string_view name)
    {
        static const QMimeDatabase database;
        return !database.mimeTypeForFile(nameToText(name), QMimeDatabase::MatchExtension).isDefault();
    }

} // namespace

bool isMp3Name(std::string_view name) { return hasMp3Suffix(name); }

bool mayBeDropTarget(const std::vector<std::string>& paths, const ListedName& listed)
{
    if (paths.empty() || std::any_of(paths.begin(), paths.end(), [](const std::string& p) { return p.empty(); }))
        return false;
    if (std::all_of(paths.begin(), paths.end(), [&](const std::string& p) { return listed(lastName(p)); }))
        return true;
    return paths.size() == 1 && !namesAKindOfFile(lastName(paths.front()));
}

std::optional<DropTarget> dropTarget(const std::vector<std::string>& paths, const ListedName& listed)
{
    if (paths.empty() || std::any_of(paths.begin(), paths.end(), [](const std::string& p) { return p.empty(); }))
        return std::nullopt;
    if (paths.size() == 1 && fs::isFolder(paths.front()))
        return DropTarget { paths.front(), {} };
    const bool allAudioFiles = std::all_of(paths.begin(), paths.end(), [&](const std::string& p) {
        const std::size_t slash = p.rfind('/');
        return slash != std::string::npos && listed(std::string_view(p).substr(slash + 1)) && !fs::isFolder(p)
            && fs::FileReader(p).isOpen();
    });
    if (!allAudioFiles)
        return std::nullopt;
    const std::string& first = paths.front();
    const std::size_t slash = first.rfind('/');
    return DropTarget { slash == 0 ? std::string("/") : first.substr(0, slash), first.substr(slash + 1) };
}

} // namespace zentrio
