#include "tags/dupes/dupesearch.h"

#include "platform/fs/filenames.h"
#include "platform/fs/rangedigest.h"
#include "platform/fs/readpool.h"
#include "tags/dupes/dupegroups.h"
#include "tags/dupes/withprogress.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <unordered_set>

#include <sys/stat.h>

namespace zentrio {

namespace {

    using Progress = DupeProgress;

    // What a folder gave: its files (with their spans or tags) and the files
    // that could not be taken.
    struct FolderFound {
        std::vector<DupeFile> files;
        std::vector<DupeFault> faults;
        std::vector<OtherName> links;
    };

    // A symbolic link to a file: what it names, so that a move of that file
    // can say which links it leaves pointing at nothing.
    void addLink(FolderFound& found, std::string path, std::size_t argument)
    {
        struct stat st { };
        char* target = ::realpath(path.c_str(), nullptr);
        if (target && ::stat(target, &st) == 0)
            found.links.push_back({ std::move(path), argument, fs::deviceNumber(st.st_dev), st.st_ino, true, target });
        std::free(target);
    }

    FolderFound spansOf(const WalkedFolder& folder)
    {
        FolderFound found;
        for (const WalkedFile& walked : folder.audio) {
            std::string path = joinPath(folder.path, walked.name);
            if (walked.isLink) { // the file it names is no copy of itself
                addLink(found, std::move(path), folder.argument);
                continue;
            }
            const fs::FileReader file(path);
            if (!file.isOpen()) {
                found.faults.push_back({ std::move(path), folder.argument, "cannot be read" });
                continue;
            }
            SpanFound span = audioSpanOf(file, audioFormatOf(walked.name).value_or(AudioFormat::Mp3));
            if (!span.span)
                found.faults.push_back(
                    { std::move(path), folder.argument, "its audio cannot be delimited: " + span.reason });
            else
                found.files.push_back({ std::move(path), folder.argument, file.identity(), span.span, nullptr });
        }
        return found;
    }

    FolderFound tagsOf(const WalkedFolder& folder, FolderReads& reads)
    {
        FolderFound found;
        for (std::size_t i = 0; i < reads.size(); ++i) {
            std::string path = joinPath(folder.path, folder.audio[i].name);
            if (folder.audio[i].isLink) {
                addLink(found, std::move(path), folder.argument);
                continue;
            }
            if (!reads[i])
                found.faults.push_back({ std::move(path), folder.argument, "cannot be read" });
            else
                found.files.push_back({ std::move(path), folder.argument, reads[i]->identity, std::nullopt,
                    std::make_shared<const TagFields>(std::move(reads[i]->tag)) });
        }
        return found;
    }

    // A further path of a file already found (a hard link) is no copy of it:
    // it is kept among the other names.
    void dropSecondLinks(std::vector<DupeFile>& files, std::vector<OtherName>& otherNames)
    {
        const auto hash = [](const std::pair<std::uint64_t, std::uint64_t>& key) {
            return std::hash<std::uint64_t>()(key.first * 0x9E3779B97F4A7C15ull ^ key.second);
        };
        std::unordered_set<std::pair<std::uint64_t, std::uint64_t>, decltype(hash)> seen(files.size(), hash);
        std::erase_if(files, [&](const DupeFile& file) {
            if (seen.insert({ file.identity.device, file.identity.inode }).second)
                return false;
            otherNames.push_back({ file.path, file.argument, file.identity.device, file.identity.inode, false });
            return true;
        });
    }

    // The digest of each file of `indices`, the longest first so that no
    // thread is left with a long file at the end; nullopt for a file that
    // could not be read through.
    std::vector<std::optional<std::uint64_t>> digestsOf(const std::vector<DupeFile>& files,
        std::vector<std::size_t> indices, const Progress& progress, std::atomic<bool>& stop)
    {
        std::stable_sort(indices.begin(), indices.end(),
            [&](std::size_t a, std::size_t b) { return files[a].span->length() > files[b].span->length(); });
        std::vector<std::optional<std::uint64_t>> digests(files.size());
        std::atomic<std::size_t> done { 0 };
        withProgress(
            [&] {
                const auto read = readInOrder(
                    indices.size(),
                    [&](std::size_t k) -> std::optional<std::uint64_t> {
                        if (stop.load())
                            return std::nullopt;
                        const DupeFile& file = files[indices[k]];
                        auto digest = fs::digestOfRange(file.path, file.span->begin, file.span->end, file.identity);
                        ++done;
                        return digest;
                    },
                    ReadAll::Yes);
                for (std::size_t k = 0; k < indices.size(); ++k)
                    digests[indices[k]] = read[k];
            },
            done, indices.size(), "digesting", progress, stop);
        return digests;
    }

    // The tags of the files in groups, read once they are known.
    void readGroupTags(std::vector<DupeFile>& files, const std::vector<DupeGroup>& groups, const Progress& progress,
        std::atomic<bool>& stop)
    {
        std::vector<std::size_t> wanted;
        for (const DupeGroup& group : groups)
            wanted.insert(wanted.end(), group.files.begin(), group.files.end());
        std::atomic<std::size_t> done { 0 };
        withProgress(
            [&] {
                auto tags = readInOrder(
                    wanted.size(),
                    [&](std::size_t k) {
                        const std::string& path = files[wanted[k]].path;
                        auto tag = stop.load() ? std::nullopt : readFileTag(path, TagSource::Id3v2First);
                        ++done;
                        return tag;
                    },
                    ReadAll::Yes);
                for (std::size_t k = 0; k < wanted.size(); ++k) {
                    if (tags[k])
                        files[wanted[k]].tag = std::make_shared<const TagFields>(std::move(*tags[k]));
                }
            },
            done, wanted.size(), "reading tags", progress, stop);
    }

    void groupByAudio(DupesFound& found, const Progress& progress, std::atomic<bool>& stop)
    {
        std::vector<std::int64_t> lengths;
        for (const DupeFile& file : found.files)
            lengths.push_back(file.span->length());
        const std::vector<std::size_t> shared = sharedLengths(lengths);
        const auto digests = digestsOf(found.files, shared, progress, stop);
        std::vector<std::optional<std::string>> keys(found.files.size());
        for (const std::size_t i : shared) {
            if (digests[i])
                keys[i] = audioKey(
                    audioFormatOf(found.files[i].path).value_or(AudioFormat::Mp3), *found.files[i].span, *digests[i]);
            else if (!stop.load())
                found.faults.push_back({ found.files[i].path, found.files[i].argument,
                    "cannot be read to its end, or changed while it was read" });
        }
        for (std::vector<std::size_t>& members : groupsByKey(keys)) {
            const std::size_t first = members.front();
            found.groups.push_back({ std::move(members), lengths[first], *digests[first] });
        }
        readGroupTags(found.files, found.groups, progress, stop);
    }

    void groupByTags(DupesFound& found)
    {
        std::vector<std::optional<std::string>> keys;
        for (const DupeFile& file : found.files)
            keys.push_back(tagKey(*file.tag));
        for (std::vector<std::size_t>& members : groupsByKey(keys))
            found.groups.push_back({ std::move(members), 0, 0 });
    }

} // namespace

DupesFound findDuplicates(const DupeRequest& request, const Progress& progress)
{
    DupesFound found;
    const bool byAudio = request.kind == DupeKind::Audio;
    std::atomic<std::size_t> spans { 0 };
    LibraryWalk walk;
    walk.paths = request.paths;
    walk.recursive = request.recursive;
    walk.leftOut = request.leftOut;
    walk.formats = request.formats;
    walk.readTags = !byAudio; // by audio, the spans are found on the pool instead
    walk.onPool = [&](const WalkedFolder& folder, FolderReads& reads, std::any& made) {
        if (!byAudio) {
            made = tagsOf(folder, reads);
            return;
        }
        made = spansOf(folder);
        spans += folder.audio.size();
    };
    walk.inOrder = [&](const WalkedFolder&, FolderReads&, std::any& made) {
        FolderFound& folder = std::any_cast<FolderFound&>(made);
        std::move(folder.files.begin(), folder.files.end(), std::back_inserter(found.files));
        std::move(folder.faults.begin(), folder.faults.end(), std::back_inserter(found.faults));
        std::move(folder.links.begin(), folder.links.end(), std::back_inserter(found.otherNames));
    };
    walk.failed = [&](const WalkFailure& failure) { found.failures.push_back(failure); };
    walk.keepGoing = [&](std::size_t read, std::size_t total) {
        return !progress || progress("reading", byAudio ? spans.load() : read, total);
    };
    if (!walkLibrary(walk)) {
        found.complete = false;
        return found;
    }
    // Path order across folders: a folder's files and its subfolders' mixed,
    // as their paths sort (already so where no folder holds both).
    const auto byPath = [](const DupeFile& a, const DupeFile& b) { return pathLess(a.path, b.path); };
    if (!std::is_sorted(found.files.begin(), found.files.end(), byPath))
        std::stable_sort(found.files.begin(), found.files.end(), byPath);
    dropSecondLinks(found.files, found.otherNames);
    std::atomic<bool> stop { false };
    if (byAudio)
        groupByAudio(found, progress, stop);
    else
        groupByTags(found);
    std::stable_sort(found.faults.begin(), found.faults.end(),
        [](const DupeFault& a, const DupeFault& b) { return pathLess(a.path, b.path); });
    found.complete = !stop.load();
    return found;
}

} // namespace zentrio
