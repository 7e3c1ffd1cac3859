#pragma once

#include "rename/history/journalfolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A run the command line began but may not have recorded yet. Its program
// leaves a "started" marker in the history's folder before it walks and
// plans, and holds it locked until it ends, when the marker goes; its run's
// record follows the marker. A marker left behind, with no record newer than
// it, is a run killed before its record was written: it changed nothing,
// and an undo must not take the older run for it.
namespace zentrio {

class RunStarted {
public:
    // The marker left (synced) for this process; nothing when the history
    // cannot be written (the run itself then says why).
    static RunStarted leave(const RunHistory& history);
    RunStarted() = default;
    RunStarted(RunStarted&& other) noexcept;
    RunStarted& operator=(RunStarted&&) = delete;
    RunStarted(const RunStarted&) = delete;
    ~RunStarted(); // the run ended: the marker goes

private:
    int m_fd = -1;
    std::string m_path;
    std::uint64_t m_after = 0; // the newest record when the run began
};

// A run begun after the newest record and not recorded.
struct UnrecordedRun {
    std::int64_t time = 0;
    bool going = false; // its program is still walking or planning
    std::string marker;
};
// The newest such run, if any. A marker a newer record has passed is left
// for cutRecordedRuns; an unreadable one is removed.
std::optional<UnrecordedRun> unrecordedRun(const RunHistory& history);

// A marker left behind by a run that was recorded: its program was killed,
// or the power went, before the marker could go, and the run's moves may be
// half made (see rename/history/cutmoves.h). Its run's record is one of
// those numbered after `after`.
struct CutRun {
    std::uint64_t after = 0; // the newest record when the run began
    std::string marker;
};
// Those markers whose program is gone.
std::vector<CutRun> cutRecordedRuns(const RunHistory& history);

// Removes the marker of a run that ended without its record: the person was
// told and chose the run to undo.
void forgetUnrecorded(const UnrecordedRun& run);

} // namespace zentrio
