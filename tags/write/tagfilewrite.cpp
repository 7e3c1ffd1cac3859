#include "tags/write/tagfilewrite.h"

#include "platform/fs/posixio.h"
#include "platform/fs/filelock.h"
#include "platform/fs/readpool.h"
#include "tags/journal/tagjournal.h"
#include "tags/taglib/taglibmodule.h"
#include "tags/write/endregionwrite.h"
#include "platform/fs/statedir.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace zentrio {

namespace {

    // A slice holds at most the files one crash copy guards, or this many
    // bytes of tag regions read and written: the memory a batch needs
    // whatever its size.
    constexpr std::size_t kSliceBytes = 32u << 20;

    std::size_t bytesOf(const PlannedWrite& write)
    {
        std::size_t bytes = write.splice ? write.splice->prefix.size() : 0;
        for (const fs::Patch& patch : write.patches)
            bytes += 2 * patch.bytes.size(); // the new bytes, and the old ones in the crash copy
        return bytes;
    }

    // The lone record of "save tag": one positioned write and a sync,
    // taken back when it fails, into the file that was read.
    bool writeRecord(const std::string& path, const PlannedWrite& write)
    {
        const fs::Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != write.expected.length
            || !fs::holds(fd.get(), write.expected) || write.patches.size() != 1)
            return false;
        const fs::Patch& patch = write.patches.front();
        const auto kept = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(patch.bytes.size()), st.st_size - patch.offset));
        std::string previous(kept, '\0');
        if (!fs::readFully(fd.get(), previous.data(), kept, static_cast<off_t>(patch.offset)))
            return false;
        if (fs::pwriteFully(fd.get(), patch.bytes, static_cast<off_t>(patch.offset)) && ::fsync(fd.get()) == 0)
            return true;
        (void)fs::pwriteFully(fd.get(), previous, static_cast<off_t>(patch.offset));
        (void)::ftruncate(fd.get(), st.st_size);
        return false;
    }

    struct Slice {
        std::size_t first = 0;
        std::vector<std::optional<PlannedWrite>> writes;
        std::vector<std::string> paths; // the files themselves, links resolved
    };

    // Plans files from `first` on, a few at a time on the read pool, until
    // the slice is full.
    Slice planSlice(const std::vector<std::string>& paths, std::size_t first, bool withRegion, const WritePlanner& plan,
        const KnownWrites& known)
    {
        constexpr std::size_t kChunk = 32;
        const std::size_t sliceFiles = fs::filesPerCrashCopy();
        Slice slice { first, {}, {} };
        std::size_t bytes = 0;
        for (std::size_t at = first; at < paths.size() && slice.writes.size() < sliceFiles && bytes < kSliceBytes;) {
            const std::size_t count = std::min({ kChunk, paths.size() - at, sliceFiles - slice.writes.size() });
            // The writes the caller knows are taken as they are; only the
            // other files are read, on the read pool.
            std::vector<std::optional<std::pair<std::string, std::optional<PlannedWrite>>>> planned(count);
            std::vector<std::size_t> unknown;
            for (std::size_t i = 0; i < count; ++i) {
                if (auto write = known ? known(at + i) : std::nullopt)
                    planned[i] = std::pair { std::move(write->path), std::optional(std::move(write->write)) };
                else
                    unknown.push_back(i);
            }
            auto reads = readInOrder(
                unknown.size(),
                [&](std::size_t k) -> std::optional<std::pair<std::string, std::optional<PlannedWrite>>> {
                    const std::size_t file = at + unknown[k];
                    const auto layout = readTagLayout(paths[file], withRegion);
                    if (!layout)
                        return std::pair { paths[file], std::optional<PlannedWrite>() };
                    return std::pair { layout->path, plan(file, *layout) };
                },
                ReadAll::Yes);
            for (std::size_t k = 0; k < unknown.size(); ++k)
                planned[unknown[k]] = std::move(reads[k]);
            for (auto& one : planned) {
                bytes += one->second ? bytesOf(*one->second) : 0;
                slice.paths.push_back(std::move(one->first));
                slice.writes.push_back(std::move(one->second));
            }
            at += count;
        }
        return slice;
    }

    // A time the file cannot take (a file system that refuses it) leaves
    // the write done: the tags are what was asked for. A time before 1970
    // is whole seconds down and a part of a second up, as stat gives it.
    void setModified(const std::string& path, std::int64_t nanoseconds)
    {
        constexpr std::int64_t kSecond = 1000000000;
        std::int64_t seconds = nanoseconds / kSecond, part = nanoseconds % kSecond;
        if (part < 0) {
            --seconds;
            part += kSecond;
        }
        const struct timespec times[2] = { { 0, UTIME_OMIT }, { static_cast<time_t>(seconds), static_cast<long>(part) } };
        (void)::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }

    std::vector<bool> performSlice(const Slice& slice)
    {
        std::vector<bool> done(slice.writes.size(), false);
        std::vector<fs::FilePatches> inPlace;
        std::vector<std::size_t> inPlaceIndex;
        for (std::size_t i = 0; i < slice.writes.size(); ++i) {
            const auto& write = slice.writes[i];
            if (!write)
                continue;
            if (write->splice)
                done[i] = fs::spliceInPlace(slice.paths[i], *write->splice, write->expected, tagCopyFolder());
            else if (write->recordOnly)
                done[i] = writeRecord(slice.paths[i], *write);
            else if (write->writesNothing())
                done[i] = true; // the file holds its new tags already
            else {
                inPlace.push_back({ slice.paths[i], write->patches, write->newLength, write->expected });
                inPlaceIndex.push_back(i);
            }
        }
        const auto written = fs::patchFiles(inPlace, tagCopyFolder());
        for (std::size_t k = 0; k < written.size(); ++k)
            done[inPlaceIndex[k]] = written[k];
        for (std::size_t i = 0; i < slice.writes.size(); ++i) {
            if (done[i] && slice.writes[i]->keepModified && !slice.writes[i]->writesNothing())
                setModified(slice.paths[i], *slice.writes[i]->keepModified);
        }
        return done;
    }

} // namespace

PlannedWrite plannedWrite(const TagLayout& layout, const TagRewrite& rewrite, bool wholeRecord)
{
    PlannedWrite write;
    write.expected = layout.expectation();
    if (layout.regionAtEnd) {
        // Behind the audio: the region's changed bytes in place, the file
        // cut or extended at its end, all behind one crash copy.
        if (rewrite.region == TagRewrite::Region::Unchanged)
            return write;
        auto writes = endRegionWrites(layout, rewrite.regionBytes);
        if (!writes) { // not for a rewrite that was planned: a write that no file takes, so it fails
            write.expected.length = -1;
            write.patches = { { -1, {} } };
            return write;
        }
        write.patches = std::move(writes->patches);
        write.newLength = writes->newLength;
        return write;
    }
    if (rewrite.region == TagRewrite::Region::Grows) {
        write.splice = fs::Splice { rewrite.regionBytes, static_cast<std::int64_t>(layout.region.size()),
            layout.recordOffset(), rewrite.record.value_or(std::string()) };
        return write;
    }
    write.patches = inPlacePatches(layout, rewrite);
    write.recordOnly = wholeRecord && rewrite.region == TagRewrite::Region::Unchanged && write.patches.size() == 1;
    return write;
}

std::vector<bool> performTagWrites(const std::vector<std::string>& paths, bool withRegion, const WritePlanner& plan,
    const SliceHooks& hooks, const KnownWrites& known)
{
    // Any file of the batch may need TagLib to render its tag: a program
    // that cannot load it stops before the first write, not in the middle
    // of the batch.
    if (!paths.empty())
        taglib();
    std::vector<bool> done;
    done.reserve(paths.size());
    while (done.size() < paths.size()) {
        Slice slice = planSlice(paths, done.size(), withRegion, plan, known);
        const auto allowed = hooks.beforeWrites ? hooks.beforeWrites(slice.first, slice.writes)
                                                : std::optional(std::vector<bool>(slice.writes.size(), true));
        if (!allowed)
            break;
        for (std::size_t i = 0; i < slice.writes.size(); ++i) {
            if (!(*allowed)[i])
                slice.writes[i].reset();
        }
        const auto sliceDone = performSlice(slice);
        if (hooks.afterWrites)
            hooks.afterWrites(slice.first, sliceDone);
        done.insert(done.end(), sliceDone.begin(), sliceDone.end());
    }
    done.resize(paths.size(), false);
    return done;
}

fs::RepairOutcome repairInterruptedTagWrites()
{
    const std::string journal = defaultTagJournalPath();
    if (journal.empty())
        return {};
    const fs::FileLock noCommandRunning(journal + ".lock", fs::FileLock::Wait::No);
    return noCommandRunning.held() ? fs::restoreInterruptedPatches(tagCopyFolder()) : fs::RepairOutcome {};
}

std::string tagCopyFolder()
{
    const std::string state = stateDirectory();
    return state.empty() ? std::string() : state + "/tagsaves";
}

} // namespace zentrio
