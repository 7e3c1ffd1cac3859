#pragma once

#include "rename/history/journalfolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The runs an undo can take, as `undo --list` shows them.
namespace zentrio {

struct KeptRun {
    std::uint64_t id = 0; // its number in the history: `undo ID` takes it
    RunKind kind = RunKind::Folder;
    RunOrigin origin = RunOrigin::Window;
    std::int64_t time = 0;
    std::size_t files = 0; // files it moves (a cycle's halfway steps not counted)
    std::vector<std::string> folders; // the folders its files leave and go to, sorted
    std::size_t madeFolders = 0;
    std::size_t emptiedFolders = 0;
    std::optional<RunEnd> end; // none: cut short (or going on)
    bool going = false;
    bool damaged = false;
    bool salvaged = false; // damaged in part: its intact moves can be undone
    std::vector<std::size_t> damagedLines;
};

// The runs kept, newest first; a record cut short before its run began is
// left out.
std::vector<KeptRun> keptRuns(const RunHistory& history);

} // namespace zentrio
