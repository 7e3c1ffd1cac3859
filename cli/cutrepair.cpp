#include "cli/cutrepair.h"

#include "cli/output.h"
#include "rename/history/cutmoves.h"

namespace zentrio::cli {

void repairCutMoves()
{
    const SettledMoves settled = settleCutMoves(RunHistory::standard());
    const PathDisplay display = displayFromHere();
    for (const LeftAlone& file : settled.unsettled)
        complain(display.said(file.path) + ": " + file.reason);
}

} // namespace zentrio::cli
