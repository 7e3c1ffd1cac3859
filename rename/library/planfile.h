#pragma once

#include "rename/library/savedplan.h"

#include <QByteArray>

#include <optional>
#include <string>

// A checked plan kept for later, as JSON: the folders it was made for (its
// roots), the --to folder and the file-system choice, and every file's move
// with what it was when the plan was made (device, inode, size, modification
// time). The folders the run makes and empties are not kept: apply works
// them out anew. Paths that are not valid UTF-8 are kept as hex
// ("from_hex") beside their shown text. Numbers that may pass 2^53 are
// strings.
namespace zentrio {

QByteArray planToJson(const LibraryPlan& plan);

// nullopt with `error` set when the text is not such a plan.
std::optional<SavedPlan> planFromJson(const QByteArray& json, std::string& error);

} // namespace zentrio
