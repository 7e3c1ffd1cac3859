#include "rename/history/journalfolder.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/posixio.h"
#include "platform/fs/statedir.h"
#include "rename/history/journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace zentrio {

namespace {

constexpr std::size_t kNumberDigits = 12;
constexpr std::string_view kSuffix = ".run";

std::optional<std::uint64_t> numberOfFile(std::string_view name)
{
    if (name.size() != kNumberDigits + kSuffix.size() || !name.ends_with(kSuffix))
        return std::nullopt;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < kNumberDigits; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
        number = number * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    return number;
}

std::string fileNameOf(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    return std::string(kNumberDigits - std::min(kNumberDigits, digits.size()), '0') + digits + std::string(kSuffix);
}

std::string cannotWrite(const std::string& what, int error)
{
    return "the rename journal cannot be written: " + what + ": " + std::strerror(error);
}

// A run's number is never given twice, even once the newest run's file is
// gone (undone in full): `undo ID` must not take another run than the one
// listed. The last number given is kept beside the runs.
std::uint64_t nextNumber(const std::string& folder, const std::vector<RunFile>& existing)
{
    const std::string last = folder + "/last";
    std::uint64_t number = existing.empty() ? 1 : existing.back().number + 1;
    if (const auto text = fs::readWholeFile(last)) {
        std::uint64_t given = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), given);
        if (error == std::errc() && given >= number)
            number = given + 1;
    }
    fs::replaceFileAtomically(last, std::to_string(number) + "\n");
    return number;
}

} // namespace

std::string defaultRunsFolder()
{
    const std::string state = stateDirectory();
    return state.empty() ? std::string() : state + "/runs";
}

RunWriter::RunWriter(int fd, std::string path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

RunWriter::RunWriter(RunWriter&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
{
}

RunWriter& RunWriter::operator=(RunWriter&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

RunWriter::~RunWriter()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool RunWriter::append(const std::string& line, bool sync)
{
    return m_fd >= 0 && fs::writeFully(m_fd, line) && (!sync || ::fdatasync(m_fd) == 0);
}

bool RunWriter::mark(std::size_t done)
{
    return append(formatMark(done), true);
}

bool RunWriter::note(const std::string& line)
{
    return append(line, true);
}

bool RunWriter::finish(std::size_t done, RunEnd end)
{
    return finish(done, {}, end);
}

bool RunWriter::finish(std::size_t done, const std::vector<std::size_t>& alsoDone, RunEnd end)
{
    std::string lines;
    for (const std::size_t step : alsoDone)
        lines += formatAlso(step);
    const bool ok = append(lines + formatEnd(done, end), false);
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    return ok;
}

RunHistory::RunHistory(std::string folder)
    : m_folder(std::move(folder))
{
}

std::unique_ptr<fs::FileLock> RunHistory::lock() const
{
    auto lock = std::make_unique<fs::FileLock>(m_folder + "/lock");
    return lock->held() ? std::move(lock) : nullptr;
}

std::vector<RunFile> RunHistory::files() const
{
    std::vector<RunFile> files;
    fs::forEachEntry(m_folder, [&](int, const dirent& e) {
        if (const auto number = numberOfFile(e.d_name))
            files.push_back({ m_folder + "/" + e.d_name, *number });
    });
    std::sort(files.begin(), files.end(), [](const RunFile& a, const RunFile& b) { return a.number < b.number; });
    return files;
}

RunHistory::Begun RunHistory::begin(const RunRecord& record) const
{
    return begin(record, record.moves);
}

RunHistory::Begun RunHistory::begin(const RunRecord& record, std::span<const Move> moves) const
{
    if (m_folder.empty())
        return { std::nullopt, "the rename journal cannot be written: no home folder for the state folder" };
    for (const std::string& folder : { parentOf(m_folder), m_folder }) {
        const StateFolder state = ensurePrivateFolder(folder);
        if (!state.ok())
            return { std::nullopt, "the rename journal cannot be written: " + state.error };
    }
    const auto held = lock();
    if (!held)
        return { std::nullopt, cannotWrite(m_folder + "/lock", errno) };
    const std::uint64_t number = nextNumber(m_folder, files());
    const std::string path = m_folder + "/" + fileNameOf(number);
    fs::Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid())
        return { std::nullopt, cannotWrite(path, errno) };
    fs::FileLock::tryLock(fd.get());
    bool written = true;
    writeRecord(record, moves, [&](std::string_view piece) {
        written = written && fs::writeFully(fd.get(), piece);
        return written;
    });
    if (!written || ::fsync(fd.get()) != 0 || !fs::syncFolder(m_folder)) {
        const int error = errno;
        ::unlink(path.c_str());
        return { std::nullopt, cannotWrite(path, error) };
    }
    keepNewest();
    return { RunWriter(fd.release(), path), {} };
}

// Deletes the oldest runs' files beyond kJournalRecords; a run still going
// on in another program keeps its file.
void RunHistory::keepNewest() const
{
    const auto all = files();
    if (all.size() <= kJournalRecords)
        return;
    for (std::size_t i = 0; i < all.size() - kJournalRecords; ++i) {
        if (!runInProgress(all[i].path))
            ::unlink(all[i].path.c_str());
    }
}

RunHistory::Begun recordFolderRun(
    const RunHistory& history, const std::string& folder, const std::vector<PlannedRename>& renames)
{
    RunRecord record;
    record.kind = RunKind::Folder;
    record.origin = RunOrigin::Window;
    record.time = std::time(nullptr);
    record.inodesIdentify = fs::inodesIdentifyFiles(folder);
    record.folder = folder;
    record.batch = renames.size(); // no marks: undo looks at every rename by the disk
    for (const PlannedRename& r : renames)
        record.moves.push_back({ joinPath(folder, r.oldName), joinPath(folder, r.newName), r.identity });
    return history.begin(record);
}

bool runInProgress(const std::string& runFile)
{
    const fs::Fd fd(::open(runFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return fd.valid() && !fs::FileLock::tryLock(fd.get());
}

std::optional<RunSummary> readRunSummary(const std::string& runFile)
{
    constexpr std::size_t kHead = 64 * 1024;
    constexpr std::size_t kTail = 4096;
    const fs::FileReader file(runFile);
    if (!file.isOpen())
        return std::nullopt;
    const auto length = static_cast<std::size_t>(file.length());
    const auto head = file.readAt(0, std::min(kHead, length));
    const std::size_t tailStart = length > kTail ? length - kTail : 0;
    const auto tail = file.readAt(static_cast<std::int64_t>(tailStart), length - tailStart);
    if (!head || !tail)
        return std::nullopt;
    return parseSummary(*head, tailStart == 0 ? "\n" + *tail : *tail);
}

} // namespace zentrio
