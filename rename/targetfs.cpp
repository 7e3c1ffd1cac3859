#include "rename/targetfs.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace zentrio {

namespace {

constexpr long kMsdos = 0x4d44;
constexpr long kExfat = 0x2011BAB0;
constexpr long kNtfs = 0x5346544e;
constexpr long kNtfs3 = 0x7366746e;
constexpr long kSmb = 0x517B;
constexpr long kSmb2 = 0xFE534D42;
constexpr long kCifs = 0xFF534D42;
constexpr long kFuse = 0x65735546;

bool containsAny(std::string_view text, std::initializer_list<std::string_view> words)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (std::string_view word : words) {
        if (lower.find(word) != std::string::npos)
            return true;
    }
    return false;
}

// A FUSE mount serves a Windows volume when it sits on a block device
// (fuseblk: exfat-fuse, ntfs-3g) or its driver names such a file system.
bool fuseServesWindowsVolume(std::string_view mountType)
{
    return mountType == "fuseblk" || containsAny(mountType, { "exfat", "ntfs", "fat", "smb", "cifs" });
}

// The mount type of the mount whose device is major:minor.
std::string mountTypeOf(unsigned major, unsigned minor)
{
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string device = std::to_string(major) + ':' + std::to_string(minor);
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor;
        if (!(fields >> id >> parent >> majorMinor) || majorMinor != device)
            continue;
        const auto separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream rest(line.substr(separator + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

TargetFs fileSystemFamily(long statfsType, std::string_view mountType)
{
    TargetFs fs;
    switch (statfsType) {
    case kMsdos:
        fs.type = "vfat";
        break;
    case kExfat:
        fs.type = "exfat";
        break;
    case kNtfs:
    case kNtfs3:
        fs.type = "ntfs";
        break;
    case kSmb:
    case kSmb2:
    case kCifs:
        fs.type = "smb";
        break;
    case kFuse:
        fs.type = mountType.empty() ? "fuse" : std::string(mountType);
        if (fuseServesWindowsVolume(mountType)) {
            fs.names = FsNames::Windows;
            fs.ignoresCase = true;
        }
        return fs;
    default: {
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(statfsType));
        fs.type = hex;
        return fs;
    }
    }
    // NTFS under Linux keeps case, but Windows, where such a disk goes next,
    // does not: two names that differ only in case are refused there too.
    fs.names = FsNames::Windows;
    fs.ignoresCase = true;
    return fs;
}

std::optional<TargetFs> targetFsOf(const std::string& path)
{
    std::string existing = path.empty() ? std::string(".") : path;
    struct statx st { };
    while (::statx(AT_FDCWD, existing.c_str(), 0, STATX_BASIC_STATS, &st) != 0) {
        if (existing == "/" || existing == ".")
            return std::nullopt;
        existing = parentOf(existing);
    }
    struct statfs info { };
    if (::statfs(existing.c_str(), &info) != 0)
        return std::nullopt;
    const long type = static_cast<long>(info.f_type);
    TargetFs fs = fileSystemFamily(type, type == kFuse ? mountTypeOf(st.stx_dev_major, st.stx_dev_minor) : "");
    fs.device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    return fs;
}

QString fitComponent(QString component, FsNames names)
{
    if (names == FsNames::Posix)
        return component;
    for (QChar& c : component) {
        if (c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
            c = u'-';
    }
    while (!component.isEmpty() && (component.back() == u'.' || component.back() == u' '))
        component.chop(1);
    return component.isEmpty() ? QStringLiteral("_") : component;
}

FsNames namesUnder(FsChoice choice, const TargetFs& target)
{
    switch (choice) {
    case FsChoice::Posix:
        return FsNames::Posix;
    case FsChoice::Fat:
        return FsNames::Windows;
    case FsChoice::Auto:
        break;
    }
    return target.names;
}

} // namespace zentrio
