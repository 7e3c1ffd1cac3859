#include "platform/fs/copiedfile.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace zentrio::fs {

namespace {

// The id of the file system, which lasts across mounts where the device
// number does not (a USB disk plugged into another port).
std::uint64_t volumeOf(const struct statfs& info)
{
    std::uint64_t id = 0;
    static_assert(sizeof(info.f_fsid) == sizeof(id));
    std::memcpy(&id, &info.f_fsid, sizeof id);
    return id & 0x3FFFFFFFFFFFFFFF; // a number the copy's text reads back as a signed one
}

std::uint64_t volumeAt(const std::string& path)
{
    struct statfs info { };
    return ::statfs(path.c_str(), &info) == 0 ? volumeOf(info) : 0;
}

std::uint64_t deviceOfFolder(const std::string& folder)
{
    struct stat st { };
    return ::stat(folder.c_str(), &st) == 0 ? deviceNumber(st.st_dev) : 0;
}

} // namespace

std::uint64_t volumeOfOpen(int fd)
{
    struct statfs info { };
    return ::fstatfs(fd, &info) == 0 ? volumeOf(info) : 0;
}

std::optional<CopiedFile> copiedFileOf(int fd, const std::string& path, bool inodesIdentify)
{
    const auto identity = identityOfOpen(fd);
    if (!identity)
        return std::nullopt;
    return CopiedFile { path, identity->device, identity->inode, identity->birth, volumeOfOpen(fd), inodesIdentify };
}

bool isCopiedFile(int fd, const CopiedFile& file)
{
    if (!file.inodesIdentify)
        return true;
    const auto found = identityOfOpen(fd);
    if (!found)
        return false;
    const std::uint64_t volume = volumeOfOpen(fd);
    const bool sameVolume = file.volume != 0 && volume != 0 ? volume == file.volume : found->device == file.device;
    return sameVolume && sameIdentity({ found->device, file.inode, 0, file.birth }, *found, true);
}

bool goneFromItsVolume(const CopiedFile& file, int openError)
{
    const std::string folder = parentOf(file.path);
    const bool onItsVolume = isFolder(folder)
        && (file.volume != 0 ? volumeAt(folder) == file.volume : deviceOfFolder(folder) == file.device);
    return openError == ENOENT && onItsVolume;
}

} // namespace zentrio::fs
