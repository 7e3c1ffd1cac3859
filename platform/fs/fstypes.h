#pragma once

// statfs's type numbers (f_type) of the file systems whose rules differ from
// a POSIX disk's: the volumes made for Windows, Windows shares, and FUSE,
// behind which any of them may stand.
namespace zentrio::fs::fstype {

inline constexpr long kMsdos = 0x4d44;
inline constexpr long kExfat = 0x2011BAB0;
inline constexpr long kNtfs = 0x5346544e;
inline constexpr long kNtfs3 = 0x7366746e;
inline constexpr long kSmb = 0x517B;
inline constexpr long kSmb2 = 0xFE534D42;
inline constexpr long kCifs = 0xFF534D42;
inline constexpr long kFuse = 0x65735546;

} // namespace zentrio::fs::fstype
