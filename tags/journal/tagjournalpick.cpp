#include "tags/journal/tagjournalpick.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace zentrio::tagjournal {

std::optional<std::size_t> findChange(
    const Scan& scan, const std::vector<std::size_t>& commands, const std::string& id, bool& ambiguous)
{
    std::string wanted = id;
    std::transform(wanted.begin(), wanted.end(), wanted.begin(), [](unsigned char c) { return std::tolower(c); });
    std::optional<std::size_t> found;
    ambiguous = false;
    for (std::size_t i = 0; i < commands.size() && !wanted.empty(); ++i) {
        const Block& block = scan.blocks[commands[i]];
        if (!block.withIds || fullChangeId(block.id).rfind(wanted, 0) != 0)
            continue;
        ambiguous = ambiguous || found.has_value();
        found = i;
    }
    return ambiguous ? std::nullopt : found;
}

std::vector<std::string> writtenFilesNow(
    int fd, const Scan& scan, std::size_t commandBlock, const FileTrail* trail)
{
    std::vector<std::string> paths;
    for (const TagSnapshot& file : readCommand(fd, scan, commandBlock, true).value_or(std::vector<TagSnapshot> {})) {
        if (!file.notWritten)
            paths.push_back(file.path);
    }
    const std::int64_t since = scan.blocks[commandBlock].time;
    return trail && since > 0 ? trail->whereNow(since, paths) : paths;
}

std::vector<std::string> newerChangesOfItsFiles(
    int fd, const Scan& scan, const std::vector<std::size_t>& commands, std::size_t index, const FileTrail* trail)
{
    const auto own = writtenFilesNow(fd, scan, commands[index], trail);
    const std::set<std::string> files(own.begin(), own.end());
    std::vector<std::string> newer;
    for (std::size_t later = index + 1; later < commands.size(); ++later) {
        const auto theirs = writtenFilesNow(fd, scan, commands[later], trail);
        if (std::any_of(theirs.begin(), theirs.end(), [&](const std::string& path) { return files.count(path) > 0; }))
            newer.push_back(changeId(scan.blocks[commands[later]].id));
    }
    return newer;
}

namespace {

    bool copyBytes(int from, std::int64_t at, std::int64_t count, int to)
    {
        std::string buffer;
        while (count > 0) {
            buffer.resize(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 20)));
            if (!fs::readFully(from, buffer.data(), buffer.size(), static_cast<off_t>(at)) || !fs::writeFully(to, buffer))
                return false;
            at += static_cast<std::int64_t>(buffer.size());
            count -= static_cast<std::int64_t>(buffer.size());
        }
        return true;
    }

} // namespace

bool cutOut(const std::string& path, int fd, std::int64_t from, std::int64_t to, std::int64_t length)
{
    if (to >= length)
        return ::ftruncate(fd, from) == 0 && ::fsync(fd) == 0;
    const std::string temporary = path + ".cut";
    const fs::Fd out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    const bool done = out.valid() && copyBytes(fd, 0, from, out.get()) && copyBytes(fd, to, length - to, out.get())
        && ::fsync(out.get()) == 0 && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!done) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The journal without the change lasts through a crash once its folder is synced.
    (void)fs::syncFolder(parentOf(path));
    return true;
}

} // namespace zentrio::tagjournal
