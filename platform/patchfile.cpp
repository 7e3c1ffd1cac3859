#include "platform/patchfile.h"

#include "platform/fsops.h"
#include "platform/posixio.h"

#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>

namespace zentrio::fs {

namespace {

    constexpr std::string_view kMagic = "zentrio-patch 2\n";
    constexpr std::string_view kEnd = "end\n";
    constexpr std::string_view kPrefix = "patch-";

    // What a copy holds for each file: which file, its length, and the old
    // bytes of each region. A copy without its closing line was cut short
    // before any file was touched.
    struct Copy {
        std::string path;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t length = 0;
        std::vector<Patch> old;
    };

    std::string formatCopies(const std::vector<Copy>& copies)
    {
        std::string out(kMagic);
        out += std::to_string(copies.size()) + '\n';
        for (const Copy& copy : copies) {
            out += std::to_string(copy.path.size()) + '\n' + copy.path + '\n';
            out += std::to_string(copy.device) + ' ' + std::to_string(copy.inode) + ' ' + std::to_string(copy.length)
                + ' ' + std::to_string(copy.old.size()) + '\n';
            for (const Patch& region : copy.old)
                out += std::to_string(region.offset) + ' ' + std::to_string(region.bytes.size()) + '\n' + region.bytes + '\n';
        }
        return out + std::string(kEnd);
    }

    std::optional<std::vector<Copy>> parseCopies(const std::string& text)
    {
        if (!text.starts_with(kMagic) || !text.ends_with(kEnd))
            return std::nullopt;
        std::istringstream in(text.substr(kMagic.size()));
        std::size_t files = 0;
        if (!(in >> files) || in.get() != '\n' || files > text.size())
            return std::nullopt;
        std::vector<Copy> copies;
        for (std::size_t f = 0; f < files; ++f) {
            Copy copy;
            std::size_t pathSize = 0;
            if (!(in >> pathSize) || in.get() != '\n' || pathSize > text.size())
                return std::nullopt;
            copy.path.resize(pathSize);
            std::size_t count = 0;
            if (!in.read(copy.path.data(), static_cast<std::streamsize>(pathSize)) || in.get() != '\n'
                || !(in >> copy.device >> copy.inode >> copy.length >> count) || in.get() != '\n' || count > text.size())
                return std::nullopt;
            for (std::size_t i = 0; i < count; ++i) {
                Patch region;
                std::size_t size = 0;
                if (!(in >> region.offset >> size) || in.get() != '\n' || size > text.size())
                    return std::nullopt;
                region.bytes.resize(size);
                if (!in.read(region.bytes.data(), static_cast<std::streamsize>(size)) || in.get() != '\n')
                    return std::nullopt;
                copy.old.push_back(std::move(region));
            }
            copies.push_back(std::move(copy));
        }
        return copies;
    }

    // Writes the regions and the length back, and syncs the file.
    bool putBack(int fd, const Copy& copy)
    {
        bool ok = true;
        for (const Patch& region : copy.old)
            ok = pwriteFully(fd, region.bytes, static_cast<off_t>(region.offset)) && ok;
        ok = ::ftruncate(fd, static_cast<off_t>(copy.length)) == 0 && ok;
        return ::fsync(fd) == 0 && ok;
    }

    void syncFolder(const std::string& folder)
    {
        const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid())
            (void)::fsync(dir.get());
    }

    // Writes the copies to a new file of the folder and syncs it; its name.
    std::optional<std::string> saveCopies(const std::string& folder, const std::vector<Copy>& copies)
    {
        for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
            ::mkdir(folder.substr(0, slash).c_str(), 0700);
        ::mkdir(folder.c_str(), 0700);
        std::string name = folder + '/' + std::string(kPrefix) + "XXXXXX";
        Fd fd(::mkstemp(name.data()));
        if (!fd.valid())
            return std::nullopt;
        if (!writeFully(fd.get(), formatCopies(copies)) || ::fsync(fd.get()) != 0) {
            ::unlink(name.c_str());
            return std::nullopt;
        }
        syncFolder(folder);
        return name;
    }

} // namespace

namespace {

    // The file opened for the patches, with its old bytes; nullopt when it
    // is no regular file or a patch lies beyond its end.
    std::optional<Copy> oldBytes(int fd, const FilePatches& file)
    {
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            return std::nullopt;
        Copy copy { file.path, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), st.st_size, {} };
        for (const Patch& patch : file.patches) {
            if (patch.offset < 0 || patch.offset > st.st_size)
                return std::nullopt;
            const auto kept = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(patch.bytes.size()), st.st_size - patch.offset));
            Patch old { patch.offset, std::string(kept, '\0') };
            if (!readFully(fd, old.bytes.data(), kept, static_cast<off_t>(patch.offset)))
                return std::nullopt;
            copy.old.push_back(std::move(old));
        }
        return copy;
    }

} // namespace

std::vector<bool> patchFiles(
    const std::vector<FilePatches>& files, const std::string& copyFolder, const std::function<void()>& afterCopy)
{
    std::vector<bool> written(files.size(), false);
    std::vector<std::optional<Copy>> olds;
    std::vector<Copy> copies;
    for (const FilePatches& file : files) {
        const Fd fd(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        olds.push_back(oldBytes(fd.get(), file));
        if (olds.back())
            copies.push_back(*olds.back());
    }
    if (copies.empty())
        return written;
    const auto copyName = saveCopies(copyFolder, copies);
    if (!copyName)
        return written;
    if (afterCopy)
        afterCopy();
    bool allWhole = true; // every file holds its new bytes or its old ones
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!olds[i])
            continue;
        const Fd fd(::open(files[i].path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || static_cast<std::uint64_t>(st.st_ino) != olds[i]->inode
            || static_cast<std::uint64_t>(st.st_dev) != olds[i]->device)
            continue; // not the file that was copied
        bool ok = true;
        for (const Patch& patch : files[i].patches)
            ok = ok && pwriteFully(fd.get(), patch.bytes, static_cast<off_t>(patch.offset));
        ok = ok && ::fsync(fd.get()) == 0;
        written[i] = ok;
        if (!ok && !putBack(fd.get(), *olds[i]))
            allWhole = false;
    }
    if (allWhole)
        ::unlink(copyName->c_str()); // else the next start puts every file back
    return written;
}

bool patchFile(const std::string& path, const std::vector<Patch>& patches, const std::string& copyFolder,
    const std::function<void()>& afterCopy)
{
    return patchFiles({ { path, patches } }, copyFolder, afterCopy).front();
}

int restoreInterruptedPatches(const std::string& copyFolder)
{
    DIR* dir = ::opendir(copyFolder.c_str());
    if (!dir)
        return 0;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::string_view(entry->d_name).starts_with(kPrefix))
            names.push_back(copyFolder + '/' + entry->d_name);
    }
    ::closedir(dir);
    int restored = 0;
    for (const std::string& name : names) {
        const auto text = readWholeFile(name);
        const auto copies = text ? parseCopies(*text) : std::nullopt;
        bool allBack = true;
        for (const Copy& copy : copies.value_or(std::vector<Copy> {})) {
            Fd fd(::open(copy.path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
            struct stat st {};
            const bool same = fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode)
                && static_cast<std::uint64_t>(st.st_dev) == copy.device
                && static_cast<std::uint64_t>(st.st_ino) == copy.inode;
            if (same && !putBack(fd.get(), copy))
                allBack = false;
            else if (same)
                ++restored;
        }
        if (allBack)
            ::unlink(name.c_str()); // else tried again at the next start
    }
    if (!names.empty())
        syncFolder(copyFolder);
    return restored;
}

} // namespace zentrio::fs
