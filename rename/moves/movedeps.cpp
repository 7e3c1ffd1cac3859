#include "rename/moves/movedeps.h"

#include "platform/fs/filenames.h"

#include <unordered_map>

namespace zentrio {

std::vector<StepWaits> stepWaits(const std::vector<Move>& steps)
{
    // Each step waits for the step before it that touched (left or reached)
    // a path of the caseless key of its target, and of its source. Steps of
    // one key thus run in their recorded order, so the step that freed the
    // target and the one that brought the file are made before it even
    // where two paths share a key ("Cover.jpg" and "cover.jpg" on a volume
    // that tells case).
    std::vector<StepWaits> waits(steps.size(), StepWaits { kNoStep, kNoStep });
    std::unordered_map<std::string, std::uint32_t> touchedBy; // key -> the last step that left or reached it
    touchedBy.reserve(2 * steps.size());
    for (std::uint32_t j = 0; j < steps.size(); ++j) {
        std::string from = caselessKey(composedKey(steps[j].from));
        std::string to = caselessKey(composedKey(steps[j].to));
        if (const auto touched = touchedBy.find(to); touched != touchedBy.end())
            waits[j][0] = touched->second;
        if (const auto touched = touchedBy.find(from); touched != touchedBy.end() && touched->second != waits[j][0])
            waits[j][1] = touched->second;
        touchedBy[std::move(from)] = j;
        touchedBy[std::move(to)] = j;
    }
    return waits;
}

LaterSteps laterSteps(const std::vector<StepWaits>& waits)
{
    LaterSteps later;
    later.first.assign(waits.size() + 1, 0);
    for (const StepWaits& wait : waits) {
        for (const std::uint32_t earlier : wait) {
            if (earlier != kNoStep)
                ++later.first[earlier + 1];
        }
    }
    for (std::size_t i = 1; i < later.first.size(); ++i)
        later.first[i] += later.first[i - 1];
    later.steps.resize(later.first.back());
    std::vector<std::uint32_t> filled(later.first.begin(), later.first.end() - 1);
    for (std::uint32_t j = 0; j < waits.size(); ++j) {
        for (const std::uint32_t earlier : waits[j]) {
            if (earlier != kNoStep)
                later.steps[filled[earlier]++] = j;
        }
    }
    return later;
}

} // namespace zentrio
