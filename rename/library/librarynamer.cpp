#include "rename/library/librarynamer.h"

#include "platform/fs/filenames.h"
#include "rename/naming/foldernames.h"
#include "rename/naming/pathnaming.h"
#include "tags/query/querymatch.h"

namespace zentrio {

namespace {

// Files named by one thread at a time when a folder is named after its
// reads: a few hundred microseconds of work.
constexpr std::size_t kNamedPerChunk = 256;

bool sameWidths(const NumberWidths& a, const NumberWidths& b)
{
    return a.track == b.track && a.disc == b.disc;
}

// The tags of the files taken, by their place among them.
FolderTags tagsOf(const FolderReads& reads, const std::vector<std::size_t>& taken)
{
    FolderTags tags(taken.size());
    for (std::size_t k = 0; k < taken.size(); ++k) {
        const auto& read = reads[taken[k]];
        tags[k] = read && read->tag.found ? &read->tag : nullptr;
    }
    return tags;
}

} // namespace

TargetFs FsCache::of(const std::string& folder)
{
    const std::lock_guard lock(m_mutex);
    auto found = m_known.find(folder);
    if (found == m_known.end())
        found = m_known.emplace(folder, targetFsOf(folder).value_or(TargetFs {})).first;
    return found->second;
}

// A folder's files as named while its tags are read: by the widths of a
// folder whose numbers are ordinary, which most folders' are.
struct LibraryNamer::Early {
    std::vector<PlannedFile> files;
    NameOptions options;
    Place place;
};

LibraryNamer::Place LibraryNamer::placeOf(const WalkedFolder& folder)
{
    std::string root = m_request.to.empty() ? folder.path : m_request.to;
    const FsNames names = namesUnder(m_request.fsChoice, m_fs.of(root));
    return { std::move(root), names };
}

std::any LibraryNamer::listed(const WalkedFolder& folder)
{
    if (m_request.options.pattern != Pattern::Own || m_request.query)
        return {}; // named after the reads
    Early early { std::vector<PlannedFile>(folder.audio.size()), withRunWidths(m_request.options, {}),
        placeOf(folder) };
    return early;
}

void LibraryNamer::read(
    const WalkedFolder& folder, std::size_t file, const std::optional<IdentifiedTag>& tag, std::any& made)
{
    // Numbered by its place in the folder, from 1, as composeFolder numbers.
    if (auto* early = std::any_cast<Early>(&made))
        nameFile(early->files[file], folder, file, tag, early->options, static_cast<int>(file) + 1, early->place);
}

void LibraryNamer::named(const WalkedFolder& folder, const FolderReads& reads, std::any& made)
{
    // Without a query (the only runs named while reading) every file is taken.
    if (auto* early = std::any_cast<Early>(&made)) {
        FolderTags found;
        std::size_t read = 0;
        for (const auto& tag : reads) {
            read += tag ? 1 : 0;
            if (tag && tag->tag.found)
                found.push_back(&tag->tag);
        }
        // The names made while reading hold when the folder's widths are theirs.
        if (sameWidths(early->options.widths, withRunWidths(m_request.options, found).widths)) {
            NamedFolder named { std::move(early->files), read, read, true };
            made = std::move(named);
            return;
        }
    }
    made = nameAll(folder, reads);
}

NamedFolder LibraryNamer::nameAll(const WalkedFolder& folder, const FolderReads& reads)
{
    NamedFolder named;
    const std::vector<std::size_t> taken = takenFiles(folder, reads, named);
    named.files.resize(taken.size());
    const Place place = placeOf(folder);
    // A folder of thousands of files is named on every core: its naming
    // waits for its last read, and the whole run waits for it.
    composeFolder(
        tagsOf(reads, taken), m_request.options,
        [&](std::size_t k, const TagFields*, const NameOptions& options, int number) {
            nameFile(named.files[k], folder, taken[k], reads[taken[k]], options, number, place);
        },
        kNamedPerChunk);
    return named;
}

// The files of the folder the run takes, by their place in it: those the
// query matches (every one without a query), and those that cannot be read
// unless where they lie rules them out, which fail.
std::vector<std::size_t> LibraryNamer::takenFiles(
    const WalkedFolder& folder, const FolderReads& reads, NamedFolder& named) const
{
    std::vector<std::size_t> taken;
    taken.reserve(reads.size());
    const Query* query = m_request.query.get();
    for (std::size_t i = 0; i < reads.size(); ++i) {
        named.read += reads[i] ? 1 : 0;
        const std::string path = query ? joinPath(folder.path, folder.audio[i].name) : std::string();
        if (query && (reads[i] ? !matchesQuery(*query, reads[i]->tag, path) : placeRulesOut(*query, path)))
            continue;
        named.matched += reads[i] ? 1 : 0;
        taken.push_back(i);
    }
    named.whole = taken.size() == reads.size();
    return taken;
}

void LibraryNamer::nameFile(PlannedFile& file, const WalkedFolder& folder, std::size_t i,
    const std::optional<IdentifiedTag>& read, const NameOptions& options, int number, const Place& place) const
{
    const WalkedFile& walked = folder.audio[i];
    file = { joinPath(folder.path, walked.name), {}, {}, folder.argument };
    if (read)
        file.identity = read->identity;
    const auto skip = [&](FileStatus status, std::string reason) {
        file.status = status;
        file.reason = std::move(reason);
    };
    if (walked.isLink)
        return skip(FileStatus::Skipped, "a symbolic link: not renamed");
    if (!read)
        return skip(FileStatus::Failed, "cannot be read");
    if (!read->tag.found)
        return skip(FileStatus::Skipped, "no tag");
    if (const QStringList missing = missingFields(options.own->parts, read->tag); !missing.isEmpty())
        return skip(FileStatus::Skipped, "no " + missing.join(", ").toStdString());
    // An MP3 file's options need no copy: ".mp3" is their extension (the
    // walk gives audio files alone; forFile gives the same for ".MP3").
    const std::vector<QString> components = walked.name.ends_with(".mp3")
        ? composeNewPath(read->tag, options, number)
        : composeNewPath(read->tag, forFile(options, walked.name), number);
    if (components.empty())
        return skip(FileStatus::Skipped, "the pattern gives no name");
    std::string to = place.root;
    for (const QString& component : components)
        to = joinPath(to, textToName(fitComponent(component, place.names)));
    // Both paths are absolute: their folders compare as the text before their last "/".
    const auto folderOf = [](std::string_view path) { return path.substr(0, path.rfind('/')); };
    file.status = to == file.from                 ? FileStatus::Unchanged
        : folderOf(to) == folderOf(file.from) ? FileStatus::Renamed
                                              : FileStatus::Moved;
    file.to = std::move(to);
}

} // namespace zentrio
