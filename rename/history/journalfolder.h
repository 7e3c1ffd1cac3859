#pragma once

#include "platform/fs/filelock.h"
#include "rename/history/journalrecord.h"
#include "rename/history/plannedrename.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The rename journal's history: one file per run in a private folder,
// numbered in the order the runs began (the newest run has the highest
// number). Recording a run writes its own file once; its marks go to the
// end of that file; keeping the newest runs deletes the oldest files. No
// run's file is ever rewritten whole by another run's record. The window
// and the command line record here through the same code.
namespace zentrio {

// $XDG_STATE_HOME/zentrio/runs, by default ~/.local/state/zentrio/runs.
std::string defaultRunsFolder();

// A run being recorded. Its file stays locked until the run ends, so an
// undo never takes back a run still going on in another program.
class RunWriter {
public:
    RunWriter(int fd, std::string path);
    RunWriter(RunWriter&& other) noexcept;
    RunWriter& operator=(RunWriter&& other) noexcept;
    RunWriter(const RunWriter&) = delete;
    RunWriter& operator=(const RunWriter&) = delete;
    ~RunWriter();

    // Appends "done K" and syncs it: the first K moves are finished.
    bool mark(std::size_t done);
    // Appends a whole line of the record (a rewritten playlist's) and syncs it.
    bool note(const std::string& line);
    // Appends the run's end, then lets the file go. It is not synced: a
    // crash that loses it leaves the marks, from which undo looks at no
    // fewer moves.
    bool finish(std::size_t done, RunEnd end);
    // The same, for a run whose moves were made at once: besides the first
    // `done`, the moves `alsoDone` were made.
    bool finish(std::size_t done, const std::vector<std::size_t>& alsoDone, RunEnd end);
    const std::string& path() const { return m_path; }

private:
    bool append(const std::string& line, bool sync);
    int m_fd = -1;
    std::string m_path;
};

struct RunFile {
    std::string path;
    std::uint64_t number = 0;
};

class RunHistory {
public:
    explicit RunHistory(std::string folder);
    static RunHistory standard() { return RunHistory(defaultRunsFolder()); }

    struct Begun {
        std::optional<RunWriter> writer;
        std::string error; // why the run could not be recorded
    };
    // Writes the run's record to a new file and syncs it (and the folder)
    // before returning, under the history's lock; then keeps the newest
    // kJournalRecords runs. The folder is made private (0700) and refused
    // when it belongs to another user.
    Begun begin(const RunRecord& record) const;
    // The same with the moves from `moves` instead of the record's own.
    Begun begin(const RunRecord& record, std::span<const Move> moves) const;

    // The runs' files, oldest first.
    std::vector<RunFile> files() const;

    // The history's lock: while it is held no run is recorded and no other
    // undo runs. nullptr when it cannot be taken.
    std::unique_ptr<fs::FileLock> lock() const;

    const std::string& folder() const { return m_folder; }

private:
    void keepNewest() const;
    std::string m_folder;
};

// Records a run of renames in one folder (the window's "selected" and "OK to
// rename"): every rename it may make, in its order.
RunHistory::Begun recordFolderRun(
    const RunHistory& history, const std::string& folder, const std::vector<PlannedRename>& renames);

// True while the program recording this run still holds its file.
bool runInProgress(const std::string& runFile);

// The head and the last bytes of a run's file, for its summary.
std::optional<RunSummary> readRunSummary(const std::string& runFile);

} // namespace zentrio
