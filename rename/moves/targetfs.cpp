#include "rename/moves/targetfs.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fstypes.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zentrio {

namespace {

using namespace fs::fstype;

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

// GNOME's gvfs serves every share it mounts under one FUSE mount
// ("fuse.gvfsd-fuse", /run/user/UID/gvfs), one folder per share named by its
// kind: "smb-share:server=nas,share=music" is a Windows share, "mtp:host=..."
// a phone or player, whose storage is FAT-like.
bool gvfsServesWindowsVolume(std::string_view mountType, std::string_view underMount)
{
    if (mountType != "fuse.gvfsd-fuse")
        return false;
    while (underMount.starts_with('/'))
        underMount.remove_prefix(1);
    return underMount.starts_with("smb-share:") || underMount.starts_with("smb-server:")
        || underMount.starts_with("mtp:");
}

// A FUSE mount serves a Windows volume when it sits on a block device
// (fuseblk: exfat-fuse, ntfs-3g), its driver names such a file system, or
// it is a gvfs share of that kind.
bool fuseServesWindowsVolume(std::string_view mountType, std::string_view underMount)
{
    return mountType == "fuseblk" || containsAny(mountType, { "exfat", "ntfs", "fat", "smb", "cifs" })
        || gvfsServesWindowsVolume(mountType, underMount);
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo.
std::string unescapeMountPath(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

struct Mount {
    std::string type; // "fuseblk", "fuse.sshfs"...
    std::string point; // where it is mounted
};

// The mount whose device is major:minor.
Mount mountOf(unsigned major, unsigned minor)
{
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string device = std::to_string(major) + ':' + std::to_string(minor);
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor, root, point;
        if (!(fields >> id >> parent >> majorMinor >> root >> point) || majorMinor != device)
            continue;
        const auto separator = line.find(" - ");
        if (separator == std::string::npos)
            continue;
        std::istringstream rest(line.substr(separator + 3));
        Mount mount;
        rest >> mount.type;
        mount.point = unescapeMountPath(point);
        return mount;
    }
    return {};
}

} // namespace

TargetFs fileSystemFamily(long statfsType, std::string_view mountType, std::string_view underMount)
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
        if (fuseServesWindowsVolume(mountType, underMount)) {
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
    const Mount mount = type == kFuse ? mountOf(st.stx_dev_major, st.stx_dev_minor) : Mount {};
    const std::string_view underMount = !mount.point.empty() && path.starts_with(folderPath(mount.point))
        ? std::string_view(path).substr(folderPath(mount.point).size())
        : std::string_view();
    TargetFs fs = fileSystemFamily(type, mount.type, underMount);
    fs.device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    if (const long nameMax = ::pathconf(existing.c_str(), _PC_NAME_MAX); nameMax > 0)
        fs.nameMax = nameMax;
    if (const long pathMax = ::pathconf(existing.c_str(), _PC_PATH_MAX); pathMax > 0)
        fs.pathMax = pathMax;
    return fs;
}

namespace {

// Windows takes CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 for its
// devices, in any letter case and with any extension ("con.mp3"), blanks
// before the extension ignored: such a name cannot be made there.
bool isReservedOnWindows(const QString& component)
{
    const QString stem = component.section(u'.', 0, 0).trimmed().toUpper();
    if (stem == u"CON" || stem == u"PRN" || stem == u"AUX" || stem == u"NUL")
        return true;
    return stem.size() == 4 && (stem.startsWith(u"COM") || stem.startsWith(u"LPT")) && stem[3] >= u'1'
        && stem[3] <= u'9';
}

} // namespace

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
    if (component.isEmpty())
        return QStringLiteral("_");
    if (isReservedOnWindows(component)) {
        const qsizetype dot = component.indexOf(u'.');
        component.insert(dot < 0 ? component.size() : dot, u'_'); // "CON.mp3" becomes "CON_.mp3"
    }
    return component;
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
