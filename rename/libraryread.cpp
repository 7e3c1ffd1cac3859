#include "rename/libraryread.h"

#include "platform/filenames.h"
#include "platform/readpool.h"

namespace zentrio {

bool readFolderTags(const TreeWalk& walk, TagSource source,
    const std::function<void(const WalkedFolder&, FolderReads&)>& each,
    const std::function<bool(std::size_t read)>& keepGoing)
{
    std::size_t read = 0;
    for (std::size_t first = 0; first < walk.folders.size();) {
        std::size_t last = first;
        std::vector<std::string> paths;
        while (last < walk.folders.size() && (paths.empty() || paths.size() < kReadChunk)) {
            for (const WalkedFile& file : walk.folders[last].mp3s)
                paths.push_back(joinPath(walk.folders[last].path, file.name));
            ++last;
        }
        auto reads = readInOrder(
            paths.size(), [&](std::size_t i) { return readIdentifiedTag(paths[i], source); }, ReadAll::Yes);
        std::size_t at = 0;
        for (std::size_t f = first; f < last; ++f) {
            const std::size_t count = walk.folders[f].mp3s.size();
            FolderReads folderReads(std::make_move_iterator(reads.begin() + static_cast<std::ptrdiff_t>(at)),
                std::make_move_iterator(reads.begin() + static_cast<std::ptrdiff_t>(at + count)));
            at += count;
            each(walk.folders[f], folderReads);
        }
        read += paths.size();
        first = last;
        if (keepGoing && !keepGoing(read))
            return false;
    }
    return true;
}

} // namespace zentrio
