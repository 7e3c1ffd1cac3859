#include "rename/moves/moverun.h"

#include "platform/fs/readpool.h"
#include "rename/moves/movedeps.h"
#include "rename/moves/movesync.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <queue>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

std::size_t depthOf(const std::string& path)
{
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

// The folders grouped by depth, shallowest first.
std::vector<std::vector<std::string>> byDepth(std::vector<std::string> folders)
{
    std::sort(folders.begin(), folders.end(),
        [](const std::string& a, const std::string& b) { return depthOf(a) < depthOf(b); });
    std::vector<std::vector<std::string>> levels;
    for (std::string& folder : folders) {
        if (levels.empty() || depthOf(levels.back().front()) != depthOf(folder))
            levels.emplace_back();
        levels.back().push_back(std::move(folder));
    }
    return levels;
}

std::string whyNot(int error, const Move& move)
{
    if (error == EEXIST)
        return "the target exists since the run was checked: " + move.to;
    return "cannot be renamed: " + move.from + ": " + std::strerror(error);
}

// The file at the move's old path is the one the plan saw.
bool stillThePlannedFile(const Move& move, const Recognition& recognition)
{
    const auto found = fs::identityOf(move.from);
    return found && recognition.recognises(move.identity, *found);
}

// The moves made on a growing pool of threads, each once the moves it waits
// for are made, the lowest ready step first, so that the steps made from
// the first on (what a mark says) keep up with the rest.
class MoveRunner {
public:
    MoveRunner(const std::vector<Move>& steps, RunWriter& journal, const std::atomic<bool>& stop,
        const Recognition& recognition)
        : m_steps(steps)
        , m_journal(journal)
        , m_stop(stop)
        , m_recognition(recognition)
        , m_state(steps.size(), State::Waiting)
    {
        const std::vector<StepWaits> waits = stepWaits(steps);
        m_later = laterSteps(waits);
        m_unmade.resize(steps.size());
        for (std::size_t j = 0; j < steps.size(); ++j) {
            m_unmade[j] = static_cast<std::uint32_t>(std::count_if(
                waits[j].begin(), waits[j].end(), [](std::uint32_t earlier) { return earlier != kNoStep; }));
            if (m_unmade[j] == 0)
                m_ready.push(static_cast<std::uint32_t>(j));
        }
    }

    MovesDone run(const std::function<void(std::size_t)>& progress)
    {
        std::jthread pool([this] { runOnGrowingPool([this] { return work(); }, kReadThreads); });
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait_for(lock, std::chrono::milliseconds(100), [this] { return finished() || markDue(); });
            if (finished()) {
                m_changed.notify_all(); // threads waiting for a mark see the stop and end
                break;
            }
            if (markDue()) {
                const std::size_t prefix = m_prefix;
                lock.unlock();
                const bool marked = m_journal.mark(prefix);
                lock.lock();
                if (marked) {
                    m_marked = prefix;
                } else if (!m_failed) {
                    m_failed = true;
                    m_failure = std::string("the rename journal cannot be written: ") + std::strerror(errno);
                }
                m_changed.notify_all();
            }
            if (progress) {
                const std::size_t made = m_made;
                lock.unlock();
                progress(made);
                lock.lock();
            }
        }
        lock.unlock();
        pool.join();
        if (progress)
            progress(m_made);
        MovesDone outcome;
        outcome.done = m_prefix;
        for (std::size_t j = m_prefix; j < m_steps.size(); ++j) {
            if (m_state[j] == State::Made)
                outcome.alsoDone.push_back(j);
        }
        outcome.failure = m_failure;
        outcome.failedStep = m_failedStep;
        outcome.end = m_failed ? RunEnd::Failed : m_prefix < m_steps.size() ? RunEnd::Interrupted : RunEnd::Completed;
        return outcome;
    }

private:
    enum class State : std::uint8_t { Waiting, Going, Made, Failed };

    bool stopping() const { return m_failed || m_stop.load(); }
    bool finished() const { return m_going == 0 && (stopping() || m_made == m_steps.size()); }
    // A mark is written every half batch, and sooner when a step waits for one.
    bool markDue() const
    {
        return !m_failed && m_prefix > m_marked && (m_prefix - m_marked >= kMarkBatch / 2 || m_blocked);
    }

    Piece work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (stopping() || m_made + m_going == m_steps.size())
                return Piece::None;
            if (!m_ready.empty() && m_ready.top() < m_marked + kMarkBatch)
                break;
            m_blocked = !m_ready.empty();
            if (m_blocked)
                m_changed.notify_all(); // the calling thread writes a mark
            if (m_ready.empty() && m_going == 0)
                return Piece::None;
            // Ctrl-C sets the stop flag without the lock: look again now and then.
            m_changed.wait_for(lock, std::chrono::milliseconds(100));
        }
        m_blocked = false;
        const std::uint32_t step = m_ready.top();
        m_ready.pop();
        m_state[step] = State::Going;
        ++m_going;
        lock.unlock();
        const auto begun = std::chrono::steady_clock::now();
        const Move& move = m_steps[step];
        std::string failure;
        if (!stillThePlannedFile(move, m_recognition))
            failure = "changed, moved or replaced since it was planned: " + move.from;
        else if (const int error = fs::renameExclusive(move.from, move.to); error != 0)
            failure = whyNot(error, move);
        const bool waited = waitedOnDevice(std::chrono::steady_clock::now() - begun);
        lock.lock();
        --m_going;
        if (failure.empty()) {
            made(step);
        } else {
            m_state[step] = State::Failed;
            if (!m_failed) {
                m_failed = true;
                m_failure = std::move(failure);
                m_failedStep = step;
            }
        }
        m_changed.notify_all();
        return waited ? Piece::Waited : Piece::Quick;
    }

    void made(std::uint32_t step) // under the mutex
    {
        m_state[step] = State::Made;
        ++m_made;
        while (m_prefix < m_steps.size() && m_state[m_prefix] == State::Made)
            ++m_prefix;
        for (std::uint32_t k = m_later.first[step]; k < m_later.first[step + 1]; ++k) {
            const std::uint32_t next = m_later.steps[k];
            if (--m_unmade[next] == 0)
                m_ready.push(next);
        }
    }

    const std::vector<Move>& m_steps;
    RunWriter& m_journal;
    const std::atomic<bool>& m_stop;
    const Recognition& m_recognition;
    LaterSteps m_later;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<State> m_state;
    std::vector<std::uint32_t> m_unmade; // the moves each one still waits for
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> m_ready;
    std::size_t m_going = 0;
    std::size_t m_made = 0;
    std::size_t m_prefix = 0; // the first m_prefix steps are made
    std::size_t m_marked = 0; // what the last synced mark says
    bool m_blocked = false; // a ready step waits for a mark
    bool m_failed = false;
    std::string m_failure;
    std::optional<std::size_t> m_failedStep;
};

} // namespace

bool MovesDone::made(std::size_t step) const
{
    return step < done || std::binary_search(alsoDone.begin(), alsoDone.end(), step);
}

bool makeFoldersAtOnce(const std::vector<std::string>& folders, int& made, std::string& failure,
    const std::function<unsigned(const std::string&)>& modes)
{
    for (const std::vector<std::string>& level : byDepth(folders)) {
        const auto errors = readInOrder(
            level.size(),
            [&](std::size_t i) {
                const unsigned mode = modes ? modes(level[i]) : 0777;
                return std::optional<int>(::mkdir(level[i].c_str(), mode) == 0 ? 0 : errno);
            },
            ReadAll::Yes);
        for (std::size_t i = 0; i < level.size(); ++i) {
            if (*errors[i] == 0)
                ++made;
            else if (*errors[i] != EEXIST && failure.empty())
                failure = "cannot make the folder " + level[i] + ": " + std::strerror(*errors[i]);
        }
        if (!failure.empty())
            return false;
    }
    return true;
}

int removeEmptyFoldersAtOnce(std::vector<std::string> folders)
{
    auto levels = byDepth(std::move(folders));
    int removed = 0;
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        const auto results = readInOrder(
            level->size(), [&](std::size_t i) { return std::optional<bool>(::rmdir((*level)[i].c_str()) == 0); },
            ReadAll::Yes);
        removed += static_cast<int>(std::count(results.begin(), results.end(), std::optional(true)));
    }
    return removed;
}

MovesDone performMoves(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied, RunWriter& journal,
    const std::atomic<bool>& stop, const std::function<void(std::size_t done)>& progress,
    const Recognition& recognition, const std::function<void(const MovesDone&)>& beforeEnd)
{
    MovesDone outcome;
    int foldersMade = 0;
    std::string failure;
    if (!makeFoldersAtOnce(order.madeFolders, foldersMade, failure)) {
        outcome.end = RunEnd::Failed;
        outcome.failure = std::move(failure);
    } else {
        (void)syncIntoParents(order.madeFolders); // before anything is moved into them
        outcome = MoveRunner(order.steps, journal, stop, recognition).run(progress);
        (void)syncMoves(order.steps, [&](std::size_t step) { return outcome.made(step); });
    }
    outcome.foldersMade = foldersMade;
    if (outcome.end == RunEnd::Completed) {
        std::vector<std::string> folders;
        for (const EmptiedFolder& folder : emptied)
            folders.push_back(folder.path);
        outcome.foldersRemoved = removeEmptyFoldersAtOnce(folders); // only an empty folder goes
        if (outcome.foldersRemoved > 0)
            (void)syncIntoParents(folders);
    }
    if (beforeEnd)
        beforeEnd(outcome);
    journal.finish(outcome.done, outcome.alsoDone, outcome.end);
    return outcome;
}

} // namespace zentrio
