#include "platform/fs/sharedmodule.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace zentrio::fs {

std::string programFolder()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return {};
    std::string folder(self, static_cast<std::size_t>(length));
    folder.erase(folder.rfind('/') + 1); // past a replaced program's " (deleted)" too
    return folder;
}

SharedModule SharedModule::openFirst(const std::vector<std::string>& paths)
{
    SharedModule module;
    for (const std::string& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            module.m_fd = fd;
            module.m_path = path;
            return module;
        }
        module.m_why += path + ": " + std::strerror(errno) + "; ";
    }
    return module;
}

void* SharedModule::function(const char* symbol, std::string& why) const
{
    if (m_fd < 0) {
        why = m_why;
        return nullptr;
    }
    // The open file, not the path: it is the module as the program started.
    // RTLD_NOW: a symbol the module cannot find fails here, never later.
    std::string opened = "/proc/self/fd/" + std::to_string(m_fd);
    if (::access(opened.c_str(), F_OK) != 0)
        opened = m_path; // no /proc: the path is what there is
    void* handle = ::dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = m_path + ": " + ::dlerror();
        return nullptr;
    }
    void* found = ::dlsym(handle, symbol);
    if (!found)
        why = m_path + ": no " + symbol;
    return found;
}

} // namespace zentrio::fs
