#include "platform/droptarget.h"

#include "platform/filenames.h"
#include "platform/fsops.h"

#include <algorithm>

namespace zentrio {

std::optional<DropTarget> dropTarget(const std::vector<std::string>& paths)
{
    if (paths.empty() || std::any_of(paths.begin(), paths.end(), [](const std::string& p) { return p.empty(); }))
        return std::nullopt;
    if (paths.size() == 1 && fs::isFolder(paths.front()))
        return DropTarget { paths.front(), {} };
    const bool allMp3Files = std::all_of(paths.begin(), paths.end(), [](const std::string& p) {
        const std::size_t slash = p.rfind('/');
        return slash != std::string::npos && hasMp3Suffix(std::string_view(p).substr(slash + 1)) && !fs::isFolder(p)
            && fs::FileReader(p).isOpen();
    });
    if (!allMp3Files)
        return std::nullopt;
    const std::string& first = paths.front();
    const std::size_t slash = first.rfind('/');
    return DropTarget { slash == 0 ? std::string("/") : first.substr(0, slash), first.substr(slash + 1) };
}

} // namespace zentrio
