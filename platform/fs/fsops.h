#pragma once

#include <cstdint>
#include <dirent.h>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Thin wrappers over the POSIX calls the program needs. Every path is raw
// bytes, so names that are not valid text still work. None of them throws.
namespace zentrio::fs {

struct DirEntry {
    std::string name;
    bool isFolder = false;
};

// Calls `each` with every entry of a folder but "." and ".." (hidden ones
// too) and the folder's descriptor, for an fstatat of an entry whose type
// the listing leaves open. 0 when the whole folder was read, else the errno
// of the failure (the entries read before it were given).
int forEachEntry(const std::string& folder, const std::function<void(int folderFd, const dirent& entry)>& each);

// The visible entries of a folder (names beginning with "." are hidden and
// left out), in the order the file system gives them; nullopt when the folder
// cannot be listed.
std::optional<std::vector<DirEntry>> listFolder(const std::string& folder);

// True when the path names an existing folder.
bool isFolder(const std::string& path);

// Makes the folder the process's current directory.
bool changeDirectory(const std::string& folder);

// The process's current directory.
std::string currentDirectory();

// Which file a name stands for: where inode numbers identify files, the
// device and inode, with the file's birth time where the file system keeps
// one (a deleted file's inode number is soon given to a new file); the size
// serves where inode numbers do not identify files.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t birth = 0; // nanoseconds since the epoch; 0 when unknown
    std::int64_t modified = 0; // nanoseconds since the epoch; 0 when unknown; not part of sameIdentity
    std::int64_t changed = 0; // the status change (ctime), as modified; moves with every write, time kept or not
};

// A device number as FileIdentity holds it (major in the high 32 bits), from stat's.
std::uint64_t deviceNumber(std::uint64_t statDevice);

// True when `found` is the file `recorded` was taken of.
bool sameIdentity(const FileIdentity& recorded, const FileIdentity& found, bool inodesIdentify);

// sameIdentity, and where inode numbers do not identify files, the same
// modification time as well when both are known: by size alone any file of
// that size passes for the one recorded. For files that were only renamed
// since they were recorded, which keeps their time.
bool sameUnchangedFile(const FileIdentity& recorded, const FileIdentity& found, bool inodesIdentify);

// The identity of the regular file at path (symbolic links not followed).
std::optional<FileIdentity> identityOf(const std::string& path);
// The identity of an open regular file.
std::optional<FileIdentity> identityOfOpen(int fd);

// False on file systems whose inode numbers do not stay with a file: FAT,
// exFAT and NTFS volumes, and FUSE mounts (exfat-fuse gives every spelling
// of a name its own number). Such numbers can change between mounts.
bool inodesIdentifyFiles(const std::string& folder);

// True when both paths are names of one regular file with more than one
// name (hard links), as a power cut can leave a move between two folders
// synced at its new folder only.
bool sameLinkedFile(const std::string& a, const std::string& b);

// True when the folder holds an entry of exactly this name (bytes compared).
bool hasExactEntry(const std::string& folder, const std::string& name);

// A regular file opened for positioned reads, closed when it goes out of
// scope. Opening fails for anything but a regular file; a FIFO never blocks.
class FileReader {
public:
    explicit FileReader(const std::string& path);
    // `name` within the folder open as `folderFd`: no walk of the folder's path.
    FileReader(int folderFd, const std::string& name);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::int64_t length() const { return m_identity.size; }
    const FileIdentity& identity() const { return m_identity; }
    // Exactly `count` bytes from `offset`; nullopt when they cannot all be read.
    std::optional<std::string> readAt(std::int64_t offset, std::size_t count) const;

private:
    void takeIdentity();

    int m_fd = -1;
    FileIdentity m_identity;
};

// The file's last bytes: `count` bytes ending `skipAtEnd` bytes before the end.
// Fails for anything but a regular file, and when the file is shorter than
// count + skipAtEnd. Never creates the file.
struct TailRead {
    std::string bytes;
    std::int64_t fileLength = 0;
};
std::optional<TailRead> readTail(const std::string& path, std::size_t count, std::size_t skipAtEnd);

enum class RenameResult { Renamed, TargetExists, Failed };

// One rename that never replaces another file: renameat2's
// RENAME_NOREPLACE, or where the file system lacks it, a rename over an
// empty placeholder created exclusively at the target first. 0, or the
// errno (EEXIST: the target is taken, in any spelling a volume that
// ignores letter case takes for it).
int renameExclusive(const std::string& from, const std::string& to);

// Renames within the file system without ever replacing another file.
// Renaming a file to its own name succeeds and does nothing; a rename that
// only changes letter case on a file system that ignores case goes through a
// temporary name. Such a volume may answer "exists" for the other spelling
// of the file's own name while giving that spelling another inode number
// (exfat-fuse): a rename between two spellings of one name whose exact
// target is not in the folder is taken for such a case-only rename.
RenameResult renameNoReplace(const std::string& from, const std::string& to);

// Writes a whole file by way of a temporary file beside it that is renamed
// over the target once complete, so the target is either the old or the new
// content, never half of either. The new file keeps the old one's mode.
bool replaceFileAtomically(const std::string& path, std::string_view content);

// Writes data at offset (at most the file's length: in place or appended) in
// one positioned write, to an existing regular file it never creates. A write
// that fails is undone: the bytes it covered are put back and the file is cut
// back to its old length.
bool writeAt(const std::string& path, std::int64_t offset, std::string_view data);

// Appends data to an existing regular file and syncs it to the disk; a
// failed append is cut off again.
bool appendAndSync(const std::string& path, std::string_view data);

// Syncs a folder to the disk, so that the names created, renamed or removed
// in it last through a crash. False when it cannot be opened or synced.
bool syncFolder(const std::string& folder);

// Deletes a folder with everything in it, names taken byte for byte and
// symbolic links removed, never followed. False when something stayed.
bool removeTree(const std::string& folder);

// Reads a whole file; nullopt when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

} // namespace zentrio::fs
