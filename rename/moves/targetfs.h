#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The rules of the file system a renamed file lands on. Volumes made for
// Windows (FAT, exFAT, NTFS) and Windows shares (SMB/CIFS), through a
// kernel driver or a FUSE one, refuse some characters in names, drop
// trailing dots and blanks, and (most of them) treat two spellings that
// differ only in letter case as one name.
namespace zentrio {

enum class FsNames {
    Posix, // any byte but "/" and NUL
    Windows, // no < > : " | ? *, no trailing dot or blank
};

// Which rules names follow: those of the target file system, or the ones asked for.
enum class FsChoice { Auto, Posix, Fat };

struct TargetFs {
    std::uint64_t device = 0; // as fs::FileIdentity::device
    FsNames names = FsNames::Posix;
    bool ignoresCase = false; // names are compared without letter case
    std::string type; // for messages: "ext4", "exfat", "fuseblk"...
    long nameMax = 255; // the longest name it takes, in bytes
    long pathMax = 4096; // the longest path, in bytes with the closing NUL
};

// The family of a file system from statfs's type number and, for FUSE
// mounts, the mount's type as /proc/self/mountinfo gives it ("fuseblk",
// "fuse.exfat", "fuse.gvfsd-fuse") and the path below the mount point
// (gvfs names the kind of share there). The device is left 0.
TargetFs fileSystemFamily(long statfsType, std::string_view mountType = {}, std::string_view underMount = {});

// The file system a path is on, or will be on once its missing folders are
// made: that of the nearest existing folder at or above it, with the
// longest name and path it takes there (pathconf). nullopt when
// nothing above it can be looked at.
std::optional<TargetFs> targetFsOf(const std::string& path);

// A path component made fit for these rules: under Windows rules
// < > : " | ? * become "-", trailing dots and blanks are cut ("_" when
// nothing is left), and a name Windows keeps for a device gets "_" before
// its extension ("CON.mp3" gives "CON_.mp3", "Aux" gives "Aux_"). Posix
// rules leave it as it is.
QString fitComponent(QString component, FsNames names);

// The rules that apply under a choice: the target's own for Auto.
FsNames namesUnder(FsChoice choice, const TargetFs& target);

} // namespace zentrio
