#include "platform/fs/statedir.h"

#include "platform/fs/fsops.h"

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zentrio {

namespace {

    // The user's home: $HOME, else the password database's entry.
    std::string homeFolder()
    {
        if (const char* home = std::getenv("HOME"); home && *home == '/')
            return home;
        std::vector<char> buffer(16384);
        passwd entry {};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir
            && found->pw_dir[0] == '/')
            return found->pw_dir;
        return {};
    }

    std::string reason(const std::string& what, const std::string& folder, int error)
    {
        return what + " " + folder + ": " + std::strerror(error);
    }

} // namespace

std::string stateDirectory()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/zentrio";
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/state/zentrio";
}

StateFolder ensurePrivateFolder(const std::string& folder)
{
    if (folder.empty() || folder.front() != '/')
        return { folder, "no home folder for the state folder" };
    // The parents are made as the XDG rules ask (0700); existing ones are
    // left as they are. A folder made is synced into its parent: the crash
    // copies and journals kept in it must not vanish with it at a power cut.
    const auto made = [](const std::string& path) {
        if (::mkdir(path.c_str(), 0700) != 0)
            return errno == EEXIST;
        return fs::syncFolder(path.substr(0, std::max<std::size_t>(path.rfind('/'), 1)));
    };
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        (void)made(folder.substr(0, slash));
    if (!made(folder))
        return { folder, reason("cannot create", folder, errno) };
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return { folder, reason("cannot read", folder, errno) };
    if (!S_ISDIR(st.st_mode))
        return { folder, folder + " is not a folder" };
    if (st.st_uid != ::geteuid())
        return { folder, folder + " belongs to another user" };
    if ((st.st_mode & 0077) != 0 && ::chmod(folder.c_str(), st.st_mode & 0700) != 0)
        return { folder, reason("cannot make private", folder, errno) };
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return { folder, reason("cannot write", folder, errno) };
    return { folder, {} };
}

StateFolder ensureStateDirectory() { return ensurePrivateFolder(stateDirectory()); }

} // namespace zentrio
