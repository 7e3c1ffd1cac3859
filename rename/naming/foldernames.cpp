#include "rename/naming/foldernames.h"

#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"
#include "tags/read/audiofile.h"

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

NameOptions forFile(NameOptions options, std::string_view name)
{
    if (const std::string extension = ownAudioExtension(name); !extension.empty())
        options.extension = QString::fromStdString(extension);
    return options;
}

std::vector<std::string> folderNewNames(
    const FolderTags& tags, const NameOptions& options, const std::vector<std::string>& oldNames)
{
    std::vector<std::string> names(tags.size());
    composeFolder(tags, options, [&](std::size_t i, const TagFields* tag, const NameOptions& runOptions, int number) {
        if (!tag)
            return;
        const QString name = i < oldNames.size() ? composeNewName(*tag, forFile(runOptions, oldNames[i]), number)
                                                 : composeNewName(*tag, runOptions, number);
        names[i] = textToName(name);
    });
    return names;
}

} // namespace zentrio
