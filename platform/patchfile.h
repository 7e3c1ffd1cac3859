#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writing a few regions of a big file in place, so that a crash leaves the
// file with either its old bytes or its new ones: the old bytes are copied
// to a small file first, and put back by the next start when the write did
// not finish.
namespace zentrio::fs {

struct Patch {
    std::int64_t offset = 0; // at most the file's length; the file grows when a patch reaches past its end
    std::string bytes;
};

// Writes the patches into the existing regular file at path (never created,
// never replaced, so its inode and hard links stay): first the bytes they
// cover and the file's length go to a new copy in `copyFolder`, synced; then
// the patches are written and the file synced; then the copy is removed. A
// write that fails puts the old bytes back at once. `afterCopy` runs between
// the copy and the write (tests stop the process there).
bool patchFile(const std::string& path, const std::vector<Patch>& patches, const std::string& copyFolder,
    const std::function<void()>& afterCopy = {});

// The patches of one file, for patchFiles.
struct FilePatches {
    std::string path;
    std::vector<Patch> patches;
};

// The same for many files with one copy of all their old bytes, synced
// once: a crash puts every one of them back. Gives, for each file, whether
// its patches were written; a file that fails is put back at once and the
// others go on.
std::vector<bool> patchFiles(const std::vector<FilePatches>& files, const std::string& copyFolder,
    const std::function<void()>& afterCopy = {});

// Puts back the old bytes of every copy an interrupted patchFile left in the
// folder, when the file is still the one it was taken of, and removes the
// copies. Gives the number of files put back.
int restoreInterruptedPatches(const std::string& copyFolder);

} // namespace zentrio::fs
