#include "rename/naming/foldernames.h"

#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"

namespace zentrio {

void composeFolder(const FolderTags& tags, const NameOptions& options, const ComposeFile& compose,
    std::size_t perChunk)
{
    FolderTags named;
    named.reserve(tags.size());
    for (const TagFields* tag : tags) {
        if (tag)
            named.push_back(tag);
    }
    const NameOptions runOptions = withRunWidths(options, named);
    const auto each = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            compose(i, tags[i], runOptions, static_cast<int>(i) + 1);
    };
    if (perChunk == 0)
        each(0, tags.size());
    else
        inChunks(tags.size(), perChunk, each);
}

std::vector<std::string> folderNewNames(const FolderTags& tags, const NameOptions& options)
{
    std::vector<std::string> names(tags.size());
    composeFolder(tags, options, [&](std::size_t i, const TagFields* tag, const NameOptions& runOptions, int number) {
        if (tag)
            names[i] = textToName(composeNewName(*tag, runOptions, number));
    });
    return names;
}

} // namespace zentrio
