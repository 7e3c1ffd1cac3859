#include "rename/moves/movelimits.h"

#include <fcntl.h>
#include <unistd.h>

namespace zentrio {

std::string faultOfLength(const std::string& path, const TargetFs& target)
{
    if (static_cast<long>(path.size()) >= target.pathMax)
        return "the new path is too long for its file system (" + std::to_string(path.size()) + " bytes, at most "
            + std::to_string(target.pathMax - 1) + ")";
    for (std::size_t start = 1; start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (static_cast<long>(end - start) > target.nameMax)
            return "a name in the new path is too long for its file system (" + std::to_string(end - start)
                + " bytes, at most " + std::to_string(target.nameMax) + ")";
        start = end + 1;
    }
    return {};
}

bool WritableFolders::at(const std::string& folder)
{
    const auto [found, added] = m_known.try_emplace(folder, false);
    if (added)
        found->second = ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    return found->second;
}

} // namespace zentrio
