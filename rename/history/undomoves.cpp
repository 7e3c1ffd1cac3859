#include "rename/history/undomoves.h"

#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"
#include "rename/moves/movedeps.h"
#include "rename/moves/moverun.h"
#include "rename/moves/movesync.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <queue>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace zentrio {

namespace {

// What became of one move.
enum class Verdict : std::uint8_t {
    Back, // moved back to its old path
    Taken, // its old path is taken: kept for a later undo
    Cannot, // the move back failed
    Waits, // a later move that waits for it was kept: not tried, kept with it
    Changed, // the file is at neither path as the run left it
    NeverMoved, // the file is still at its old path
};

// A move kept for a later undo holds back the earlier moves it waited for
// in the run: their files were moved on by it, so until it is taken back
// they are neither where the run put them nor changed since.
bool isKept(Verdict verdict)
{
    return verdict == Verdict::Taken || verdict == Verdict::Cannot || verdict == Verdict::Waits;
}

std::unordered_map<std::string, unsigned> modesOf(const std::vector<EmptiedFolder>& emptied)
{
    std::unordered_map<std::string, unsigned> modes;
    for (const EmptiedFolder& folder : emptied)
        modes.emplace(folder.path, folder.mode);
    return modes;
}

// For each step out of a cycle's temporary name, the path its file had
// before the step into that name (empty for other steps): a file found back
// there was taken back by an undo a power cut ended before its record went.
std::vector<std::string> cycleOrigins(const std::vector<Move>& moves)
{
    std::vector<std::string> origins(moves.size());
    std::unordered_map<std::string, std::string> intoTemporary;
    for (std::size_t k = 0; k < moves.size(); ++k) {
        if (const auto into = intoTemporary.find(moves[k].from); into != intoTemporary.end())
            origins[k] = into->second;
        if (isCycleName(moves[k].to))
            intoTemporary[moves[k].to] = moves[k].from;
    }
    return origins;
}

// The outcome from each move's verdict: the moves undone and left alone
// newest first, as undo takes them, those kept in the run's order. A cycle's
// halfway step is not counted as a file.
MovesUndone outcomeOf(const std::vector<Move>& moves, const std::vector<Verdict>& verdicts)
{
    MovesUndone outcome;
    for (std::size_t k = moves.size(); k-- > 0;) {
        const Move& move = moves[k];
        const int counts = isCycleName(move.from) ? 0 : 1;
        switch (verdicts[k]) {
        case Verdict::Back:
            outcome.movedBack += counts;
            outcome.back.push_back(move);
            break;
        case Verdict::Taken:
            outcome.notUndone += counts;
            outcome.remaining.push_back(move);
            outcome.leftAlone.push_back({ move.to, "its old path is taken: " + move.from });
            break;
        case Verdict::Cannot: // kept too: the cause (a read-only mount, a lock) may pass
            outcome.notUndone += counts;
            outcome.remaining.push_back(move);
            outcome.leftAlone.push_back({ move.to, "cannot be moved back to " + move.from });
            break;
        case Verdict::Waits:
            outcome.notUndone += counts;
            outcome.remaining.push_back(move);
            outcome.leftAlone.push_back({ move.from, "waits for a later move to be taken back first" });
            break;
        case Verdict::Changed:
            outcome.notUndone += counts;
            outcome.leftAlone.push_back({ move.to, "changed, moved or deleted since the run" });
            break;
        case Verdict::NeverMoved:
            break;
        }
    }
    std::reverse(outcome.remaining.begin(), outcome.remaining.end());
    return outcome;
}

// The disk as a dry run sees it: the real one, looked at once for every
// path concurrently, with the moves undo would have made laid over it.
class LaidDisk {
public:
    explicit LaidDisk(const UndoMoves& request)
        : m_request(request)
    {
        struct Seen {
            std::optional<fs::FileIdentity> at;
            bool exists = false;
        };
        std::vector<std::string> paths;
        for (const Move& move : request.moves) {
            paths.push_back(move.to);
            paths.push_back(move.from);
        }
        const auto seen = readInOrder(
            paths.size(),
            [&](std::size_t i) {
                struct stat st { };
                return std::optional(Seen { fs::identityOf(paths[i]), ::lstat(paths[i].c_str(), &st) == 0 });
            },
            ReadAll::Yes);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            m_real.emplace(paths[i], seen[i]->at);
            if (seen[i]->exists)
                m_existing.insert(paths[i]);
        }
    }

    bool holds(const std::string& path, const fs::FileIdentity& identity) const
    {
        const auto laid = m_laid.find(path);
        const std::optional<fs::FileIdentity>& found = laid != m_laid.end() ? laid->second : m_real.at(path);
        return found && m_request.recognition.recognises(identity, *found);
    }

    Verdict moveBack(const Move& move)
    {
        if (m_request.makeFolders)
            noteFolder(parentOf(move.from));
        // The old path is free, or (on a volume that ignores case) the file itself.
        const auto laid = m_laid.find(move.from);
        const bool taken = laid != m_laid.end() ? laid->second.has_value()
                                                : m_existing.contains(move.from) && !holds(move.from, move.identity);
        if (taken)
            return Verdict::Taken;
        m_laid[move.to] = std::nullopt;
        m_laid[move.from] = move.identity;
        return Verdict::Back;
    }

    int foldersMade() const { return static_cast<int>(m_made.size()); }

    // The folders the run made that the moves back would leave empty, the
    // deepest first, as the real undo removes them.
    int foldersRemoved() const
    {
        std::vector<std::string> made = m_request.madeFolders;
        std::stable_sort(made.begin(), made.end(), [](const std::string& a, const std::string& b) {
            return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
        });
        std::unordered_set<std::string> receiving; // folders files would go back to
        for (const auto& [path, identity] : m_laid) {
            if (identity)
                receiving.insert(parentOf(path));
        }
        const std::unordered_set<std::string> leaving(m_request.leaveAfter.begin(), m_request.leaveAfter.end());
        std::unordered_set<std::string> removed;
        for (const std::string& folder : made) {
            bool empty = !receiving.contains(folder) && fs::isFolder(folder);
            fs::forEachEntry(folder, [&](int, const dirent& e) {
                const std::string path = folder + "/" + e.d_name;
                const auto laid = m_laid.find(path);
                empty = empty
                    && (removed.contains(path) || leaving.contains(path) || (laid != m_laid.end() && !laid->second));
            });
            if (empty)
                removed.insert(folder);
        }
        return static_cast<int>(removed.size());
    }

private:
    void noteFolder(const std::string& folder)
    {
        if (folder == "/" || m_made.contains(folder) || fs::isFolder(folder))
            return;
        noteFolder(parentOf(folder));
        m_made.insert(folder);
    }

    const UndoMoves& m_request;
    std::unordered_map<std::string, std::optional<fs::FileIdentity>> m_real;
    std::unordered_set<std::string> m_existing;
    std::unordered_map<std::string, std::optional<fs::FileIdentity>> m_laid;
    std::set<std::string> m_made;
};

MovesUndone undoInThought(const UndoMoves& request)
{
    LaidDisk disk(request);
    const std::vector<StepWaits> waits = stepWaits(request.moves);
    const std::vector<std::string> origins = cycleOrigins(request.moves);
    std::vector<Verdict> verdicts(request.moves.size(), Verdict::NeverMoved);
    std::vector<bool> heldBack(request.moves.size(), false);
    for (std::size_t k = request.moves.size(); k-- > 0;) {
        const Move& move = request.moves[k];
        if (heldBack[k])
            verdicts[k] = Verdict::Waits;
        else if (disk.holds(move.to, move.identity))
            verdicts[k] = disk.moveBack(move);
        else if (!disk.holds(move.from, move.identity)
            && (origins[k].empty() || !disk.holds(origins[k], move.identity)))
            verdicts[k] = Verdict::Changed;
        if (isKept(verdicts[k])) {
            for (const std::uint32_t earlier : waits[k]) {
                if (earlier != kNoStep)
                    heldBack[earlier] = true;
            }
        }
    }
    MovesUndone outcome = outcomeOf(request.moves, verdicts);
    outcome.foldersMade = disk.foldersMade();
    outcome.foldersRemoved = disk.foldersRemoved();
    return outcome;
}

// The moves taken back on a growing pool: a move goes once every move that
// waited for it in the run is taken back (or left alone), the newest ready
// one first.
class UndoRunner {
public:
    explicit UndoRunner(const UndoMoves& request)
        : m_request(request)
        , m_modes(modesOf(request.emptiedFolders))
        , m_waits(stepWaits(request.moves))
        , m_origins(cycleOrigins(request.moves))
        , m_verdicts(request.moves.size(), Verdict::NeverMoved)
        , m_heldBack(request.moves.size(), false)
    {
        const LaterSteps later = laterSteps(m_waits);
        m_waitingOn.resize(request.moves.size());
        for (std::size_t j = 0; j < request.moves.size(); ++j) {
            m_waitingOn[j] = later.first[j + 1] - later.first[j];
            if (m_waitingOn[j] == 0)
                m_ready.push(static_cast<std::uint32_t>(j));
        }
    }

    MovesUndone run()
    {
        runOnGrowingPool([this] { return work(); });
        MovesUndone outcome = outcomeOf(m_request.moves, m_verdicts);
        outcome.foldersMade = static_cast<int>(m_madeAgain.size());
        return outcome;
    }

    const std::vector<std::string>& foldersMadeAgain() const { return m_madeAgain; }

private:
    Piece work()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished == m_verdicts.size() || m_going == 0; });
        if (m_ready.empty())
            return Piece::None;
        const std::uint32_t step = m_ready.top();
        m_ready.pop();
        ++m_going;
        const bool heldBack = m_heldBack[step];
        lock.unlock();
        const auto begun = std::chrono::steady_clock::now();
        const Verdict verdict = heldBack ? Verdict::Waits : takeBack(m_request.moves[step], m_origins[step]);
        const bool waited = !heldBack && waitedOnDevice(std::chrono::steady_clock::now() - begun);
        lock.lock();
        --m_going;
        ++m_finished;
        m_verdicts[step] = verdict;
        for (const std::uint32_t earlier : m_waits[step]) {
            if (earlier == kNoStep)
                continue;
            if (isKept(verdict))
                m_heldBack[earlier] = true;
            if (--m_waitingOn[earlier] == 0)
                m_ready.push(earlier);
        }
        m_changed.notify_all();
        return waited ? Piece::Waited : Piece::Quick;
    }

    Verdict takeBack(const Move& move, const std::string& origin)
    {
        const auto at = [&](const std::string& path) {
            const auto found = fs::identityOf(path);
            return found && m_request.recognition.recognises(move.identity, *found);
        };
        if (!at(move.to))
            return at(move.from) || (!origin.empty() && at(origin)) ? Verdict::NeverMoved : Verdict::Changed;
        // A power cut between the syncs of the two folders left the file
        // under both names: the old one stays, the run's goes.
        if (fs::sameLinkedFile(move.to, move.from))
            return ::unlink(move.to.c_str()) == 0 ? Verdict::Back : Verdict::Cannot;
        if (m_request.makeFolders)
            makeFolder(parentOf(move.from));
        switch (fs::renameNoReplace(move.to, move.from)) {
        case fs::RenameResult::Renamed:
            return Verdict::Back;
        case fs::RenameResult::TargetExists:
            return Verdict::Taken;
        case fs::RenameResult::Failed:
            break;
        }
        return Verdict::Cannot;
    }

    // Makes a missing folder (and its parents) as it was when the run
    // emptied and removed it; each folder is looked at once.
    void makeFolder(const std::string& folder)
    {
        {
            const std::lock_guard lock(m_foldersMutex);
            if (m_present.contains(folder))
                return;
        }
        if (folder != "/" && !fs::isFolder(folder)) {
            makeFolder(parentOf(folder));
            const auto emptied = m_modes.find(folder);
            const unsigned mode = emptied != m_modes.end() ? emptied->second : 0777;
            if (::mkdir(folder.c_str(), mode) == 0) {
                // mkdir takes the umask off and drops the set-group-ID bit
                // of a shared library's folder: the mode it had, set again.
                if (emptied != m_modes.end())
                    ::chmod(folder.c_str(), mode);
                const std::lock_guard lock(m_foldersMutex);
                m_madeAgain.push_back(folder);
            }
        }
        const std::lock_guard lock(m_foldersMutex);
        m_present.insert(folder);
    }

    const UndoMoves& m_request;
    const std::unordered_map<std::string, unsigned> m_modes;
    const std::vector<StepWaits> m_waits;
    const std::vector<std::string> m_origins; // of steps out of a cycle's temporary name
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Verdict> m_verdicts;
    std::vector<bool> m_heldBack; // a later move it waited for was kept (under m_mutex)
    std::vector<std::uint32_t> m_waitingOn; // later moves not yet taken back
    std::priority_queue<std::uint32_t> m_ready; // the newest first
    std::size_t m_going = 0;
    std::size_t m_finished = 0;
    std::mutex m_foldersMutex;
    std::unordered_set<std::string> m_present; // folders there or made
    std::vector<std::string> m_madeAgain;
};

} // namespace

MovesUndone undoMoves(const UndoMoves& request)
{
    if (request.dryRun)
        return undoInThought(request);
    UndoRunner runner(request);
    MovesUndone outcome = runner.run();
    // The moves back last before the folders the run made go, and before
    // a playlist is written back (which syncs the folder it lies in).
    (void)syncIntoParents(runner.foldersMadeAgain());
    std::vector<Move> back;
    for (const Move& move : outcome.back)
        back.push_back({ move.to, move.from, move.identity });
    (void)syncMoves(back, [](std::size_t) { return true; });
    outcome.foldersRemoved = removeEmptyFoldersAtOnce(request.madeFolders);
    if (outcome.foldersRemoved > 0)
        (void)syncIntoParents(request.madeFolders);
    return outcome;
}

} // namespace zentrio
