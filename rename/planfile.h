#pragma once

#include "rename/libraryplan.h"

#include <QByteArray>

#include <optional>
#include <string>

// A checked plan kept for later, as JSON: every file's move with what it
// was when the plan was made (device, inode, size, modification time), and
// the folders the run may empty. Paths that are not valid UTF-8 are kept
// as hex ("from_hex") beside their shown text. Numbers that may pass 2^53
// are strings.
namespace zentrio {

QByteArray planToJson(const LibraryPlan& plan);

struct SavedPlan {
    std::vector<PlannedFile> files;
    std::vector<EmptiedFolder> emptied;
};
// nullopt with `error` set when the text is not such a plan.
std::optional<SavedPlan> planFromJson(const QByteArray& json, std::string& error);

} // namespace zentrio
