#include "cli/arguments.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace zentrio::cli {

namespace {

std::optional<std::string> resolved(const std::string& path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return std::nullopt;
    return std::string(buffer);
}

} // namespace

std::optional<std::vector<std::string>> absolutePaths(const std::vector<std::string>& given)
{
    std::vector<std::string> paths;
    bool ok = true;
    for (std::string path : given) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0) {
            complain(shellQuoted(path) + ": " + std::strerror(errno));
            ok = false;
            continue;
        }
        const auto folder = resolved(S_ISDIR(st.st_mode) ? path : parentOf(path));
        if (!folder) {
            complain(shellQuoted(path) + ": " + std::strerror(errno));
            ok = false;
            continue;
        }
        paths.push_back(S_ISDIR(st.st_mode) ? *folder : joinPath(*folder, baseOf(path)));
    }
    return ok ? std::optional(paths) : std::nullopt;
}

std::optional<std::string> absoluteTarget(const std::string& given)
{
    std::string path = given;
    std::vector<std::string> missing;
    for (;;) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (const auto found = resolved(path)) {
            std::string target = *found;
            for (auto part = missing.rbegin(); part != missing.rend(); ++part)
                target = joinPath(target, *part);
            return target;
        }
        const std::string part = baseOf(path);
        if (errno != ENOENT || part == "." || part == ".." || path == "/" || path.empty()) {
            complain(shellQuoted(given) + ": "
                + (errno != ENOENT ? std::strerror(errno) : "not a folder that can be made"));
            return std::nullopt;
        }
        missing.push_back(part);
        path = parentOf(path);
    }
}

} // namespace zentrio::cli
