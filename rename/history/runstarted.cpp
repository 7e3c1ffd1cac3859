#include "rename/history/runstarted.h"

#include "platform/fs/filelock.h"
#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"
#include "platform/fs/statedir.h"

#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace zentrio {

namespace {

constexpr std::string_view kPrefix = "started-";

// "time T" and "after N": when the run began and the newest run recorded then.
struct Marker {
    std::int64_t time = 0;
    std::uint64_t after = 0;
};

std::optional<Marker> readMarker(const std::string& path)
{
    const auto text = fs::readWholeFile(path);
    long long time = 0;
    unsigned long long after = 0;
    if (!text || std::sscanf(text->c_str(), "time %lld\nafter %llu\n", &time, &after) != 2)
        return std::nullopt;
    return Marker { time, after };
}

std::vector<std::string> markersIn(const RunHistory& history)
{
    std::vector<std::string> markers;
    fs::forEachEntry(history.folder(), [&](int, const dirent& e) {
        if (std::string_view(e.d_name).starts_with(kPrefix))
            markers.push_back(history.folder() + "/" + e.d_name);
    });
    return markers;
}

std::uint64_t newestRecord(const RunHistory& history)
{
    const auto files = history.files();
    return files.empty() ? 0 : files.back().number;
}

} // namespace

RunStarted RunStarted::leave(const RunHistory& history)
{
    RunStarted started;
    if (history.folder().empty())
        return started;
    for (const std::string& folder : { parentOf(history.folder()), history.folder() }) {
        if (!ensurePrivateFolder(folder).ok())
            return started;
    }
    const auto files = history.files();
    const std::string path = history.folder() + "/" + std::string(kPrefix) + std::to_string(::getpid());
    fs::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid() || !fs::FileLock::tryLock(fd.get()))
        return started;
    const std::string text = "time " + std::to_string(std::time(nullptr)) + "\nafter "
        + std::to_string(files.empty() ? 0 : files.back().number) + "\n";
    if (!fs::writeFully(fd.get(), text) || ::fsync(fd.get()) != 0) {
        ::unlink(path.c_str());
        return started;
    }
    fs::syncFolder(history.folder());
    started.m_fd = fd.release();
    started.m_path = path;
    started.m_after = files.empty() ? 0 : files.back().number;
    return started;
}

RunStarted::RunStarted(RunStarted&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_after(other.m_after)
{
}

RunStarted::~RunStarted()
{
    if (m_fd < 0)
        return;
    // A run that left no record has its marker's removal synced: back after
    // a power cut, it would pass for a run killed before its record, and
    // undo would refuse the newest run. A recorded run's marker back is one
    // the start-up repair looks at and removes.
    const bool recorded = newestRecord(RunHistory(parentOf(m_path))) > m_after;
    if (::unlink(m_path.c_str()) == 0 && !recorded)
        (void)fs::syncFolder(parentOf(m_path));
    ::close(m_fd);
}

std::optional<UnrecordedRun> unrecordedRun(const RunHistory& history)
{
    const std::uint64_t newest = newestRecord(history);
    std::optional<UnrecordedRun> found;
    for (const std::string& path : markersIn(history)) {
        const bool going = runInProgress(path);
        const auto marker = readMarker(path);
        if (!marker) {
            if (!going)
                ::unlink(path.c_str());
            continue;
        }
        if (marker->after < newest)
            continue; // its run was recorded: cutRecordedRuns' to look at
        if (!found || marker->time > found->time)
            found = UnrecordedRun { marker->time, going, path };
    }
    return found;
}

void forgetUnrecorded(const UnrecordedRun& run)
{
    if (!runInProgress(run.marker))
        ::unlink(run.marker.c_str());
}

std::vector<CutRun> cutRecordedRuns(const RunHistory& history)
{
    const std::uint64_t newest = newestRecord(history);
    std::vector<CutRun> cut;
    for (const std::string& path : markersIn(history)) {
        const auto marker = readMarker(path);
        if (marker && marker->after < newest && !runInProgress(path))
            cut.push_back({ marker->after, path });
    }
    return cut;
}

} // namespace zentrio
