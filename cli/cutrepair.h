#pragma once

// The start-up repair of moves a power cut left half made
// (rename/history/cutmoves.h), before a command that moves files or
// undoes a run looks at them. It says only what it could not settle.
namespace zentrio::cli {

void repairCutMoves();

} // namespace zentrio::cli
