#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Writing a few regions of a big file in place, so that a crash leaves the
// file with either its old bytes or its new ones: the old bytes are copied
// to a small file first (a crash copy), and put back by the next start when
// the write did not finish, but only into a file that still holds the old or
// the new bytes of that write.
namespace zentrio::fs {

struct Patch {
    std::int64_t offset = 0; // at most the file's length; the file grows when a patch reaches past its end
    std::string bytes;
};

// What a file must still hold for a write computed from it to go ahead: the
// same file (where inode numbers identify files), the same length, and the
// same bytes in the ranges the write was computed from.
struct Expectation {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool inodesIdentify = true;
    std::int64_t length = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges; // offset and size
    std::uint64_t digest = 0; // of the ranges' bytes, in order
};

// True when the open file holds what was expected.
bool holds(int fd, const Expectation& expected);

// How many files one crash copy guards: each is held open from its copy to
// its write, and the copies, their syncs and the syncs of the writes are
// paid once for them all. Half of what the process may open beside what
// the rest of the program needs, from 16 to 4096.
std::size_t filesPerCrashCopy();

// The writes of one file, for patchFiles.
struct FilePatches {
    std::string path;
    std::vector<Patch> patches;
    std::optional<std::int64_t> newLength = std::nullopt; // the file is cut to this length after the patches
    std::optional<Expectation> expected = std::nullopt; // unchecked when absent
};

// Writes the patches into existing regular files (never created, never
// replaced, so inodes and hard links stay): first the bytes they cover, the
// lengths and a digest of each new 512-byte block go to one crash copy in
// `copyFolder`, synced and locked; then each file still holding what was
// expected is written and synced; then the copy is removed. A file whose
// write fails is put back at once; a file that cannot be put back keeps its
// part of the copy for the next start, alone. Gives, for each file, whether
// its patches were written. `afterCopy` runs between the copy and the writes
// (tests stop the process there).
std::vector<bool> patchFiles(const std::vector<FilePatches>& files, const std::string& copyFolder,
    const std::function<void()>& afterCopy = {});

bool patchFile(const std::string& path, const std::vector<Patch>& patches, const std::string& copyFolder,
    const std::function<void()>& afterCopy = {});

// The files whose earlier write left a copy in the folder that waits for a
// start to settle it (one no running Zentrio holds): a write to them now
// would be put back by that start, so they are not written until it has.
std::set<std::string> filesWaitingForRepair(const std::string& copyFolder);

// What a start made of the crash copies an interrupted write left.
struct RepairOutcome {
    int restored = 0; // files that hold their old bytes again
    int waiting = 0; // files that cannot be reached now: their copies wait for the next start
    int setAside = 0; // files changed since in other ways: their copies are kept aside, untouched
};

// Puts back the old bytes of every crash copy in the folder that no running
// Zentrio holds, into files that still hold that write's old or new bytes
// (identity, length, and each 512-byte block one or the other; where inode
// numbers do not last, the path and the bytes decide). A copy for a file
// changed in any other way is set aside as "aside-..."; one for a file that
// cannot be reached stays for the next start. The streamed copies of
// in-place splices (platform/fs/streamcopy.h) are settled by the same rules.
RepairOutcome restoreInterruptedPatches(const std::string& copyFolder);

} // namespace zentrio::fs
