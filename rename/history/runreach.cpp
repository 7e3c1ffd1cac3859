#include "rename/history/runreach.h"

#include "platform/fs/readpool.h"
#include "rename/moves/movedeps.h"

#include <algorithm>
#include <optional>

namespace zentrio {

namespace {

struct Whereabouts {
    bool atOldPath = false;
    bool atNewPath = false;
};

Whereabouts whereabouts(const Move& move, const Recognition& recognition)
{
    const auto at = [&](const std::string& path) {
        const auto found = fs::identityOf(path);
        return found && recognition.recognises(move.identity, *found);
    };
    return { at(move.from), at(move.to) };
}

} // namespace

std::vector<std::uint32_t> stepsMade(const RunRecord& record, const RunProgress& progress)
{
    const std::size_t count = record.moves.size();
    const std::size_t certain = std::min(progress.done, count);
    std::vector<bool> isMade(count, false);
    std::fill(isMade.begin(), isMade.begin() + static_cast<std::ptrdiff_t>(certain), true);
    for (const std::size_t also : progress.alsoDone) {
        if (also < count)
            isMade[also] = true;
    }
    const std::size_t begun = progress.begunMoves(record);
    if (!progress.end && begun > certain) {
        // A run cut short: the steps past its last mark that may have begun,
        // each looked at on the disk, concurrently (a slow mount waits on each).
        const Recognition recognition = record.recognition();
        const auto seen = readInOrder(
            begun - certain,
            [&](std::size_t k) { return std::optional(whereabouts(record.moves[certain + k], recognition)); },
            ReadAll::Yes);
        const std::vector<StepWaits> waits = stepWaits(record.moves);
        for (std::size_t j = certain; j < begun; ++j) {
            const Whereabouts& file = *seen[j - certain];
            bool waited = true;
            for (const std::uint32_t earlier : waits[j])
                waited = waited && (earlier == kNoStep || isMade[earlier]);
            isMade[j] = isMade[j] || (waited && !(file.atOldPath && !file.atNewPath));
        }
    }
    std::vector<std::uint32_t> made;
    for (std::uint32_t j = 0; j < count; ++j) {
        if (isMade[j])
            made.push_back(j);
    }
    return made;
}

} // namespace zentrio
