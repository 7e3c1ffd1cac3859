#pragma once

#include "rename/library/libraryplan.h"

#include <any>
#include <mutex>
#include <unordered_map>

// A library's files named by the pattern while the walk reads them: each
// file as soon as its tag is read, on the thread that read it, with the
// number widths a folder of ordinary numbers gets; once the folder's last
// read is done, its widths are decided over all its tags, and a folder
// whose widths come out otherwise is named again with them. So the names
// are those of a folder named after its reads, made while the other files
// are read. A run with a query names a folder after its reads only: a
// file's number and the widths count the files the query takes.
namespace zentrio {

// A folder's files the run takes, named; `whole` when it takes every one.
struct NamedFolder {
    std::vector<PlannedFile> files;
    std::size_t read = 0;
    std::size_t matched = 0;
    bool whole = true;
};

// The file systems of the folders a run touches, each looked up once;
// asked from the pool's threads too.
class FsCache {
public:
    TargetFs of(const std::string& folder);

private:
    std::mutex m_mutex;
    std::unordered_map<std::string, TargetFs> m_known;
};

class LibraryNamer {
public:
    LibraryNamer(const LibraryRequest& request, FsCache& fs)
        : m_request(request)
        , m_fs(fs)
    {
    }

    // The walk's onListed, onRead and onPool (tags/read/treewalk.h): safe
    // to call from several threads at once. After named, `made` holds the
    // folder's NamedFolder, its files in its order.
    std::any listed(const WalkedFolder& folder);
    void read(const WalkedFolder& folder, std::size_t file, const std::optional<IdentifiedTag>& tag, std::any& made);
    void named(const WalkedFolder& folder, const FolderReads& reads, std::any& made);

private:
    // Where a folder's files go (the --to folder, or their own) and the
    // names its file system takes.
    struct Place {
        std::string root;
        FsNames names = FsNames::Posix;
    };
    struct Early; // a folder's files named while it is read
    Place placeOf(const WalkedFolder& folder);
    void nameFile(PlannedFile& file, const WalkedFolder& folder, std::size_t i,
        const std::optional<IdentifiedTag>& read, const NameOptions& options, int number, const Place& place) const;
    NamedFolder nameAll(const WalkedFolder& folder, const FolderReads& reads);
    std::vector<std::size_t> takenFiles(const WalkedFolder& folder, const FolderReads& reads, NamedFolder& named) const;

    const LibraryRequest& m_request;
    FsCache& m_fs;
};

} // namespace zentrio
