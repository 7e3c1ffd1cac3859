#include "rename/movedeps.h"

#include "platform/filenames.h"

#include <unordered_map>

namespace zentrio {

std::vector<StepWaits> stepWaits(const std::vector<Move>& steps)
{
    std::vector<StepWaits> waits(steps.size(), StepWaits { kNoStep, kNoStep });
    std::unordered_map<std::string, std::uint32_t> leftBy; // path -> the last step that left it
    std::unordered_map<std::string, std::uint32_t> reachedBy; // path -> the last step that moved a file there
    leftBy.reserve(steps.size());
    reachedBy.reserve(steps.size());
    for (std::uint32_t j = 0; j < steps.size(); ++j) {
        std::string from = caselessKey(steps[j].from);
        std::string to = caselessKey(steps[j].to);
        if (const auto left = leftBy.find(to); left != leftBy.end())
            waits[j][0] = left->second;
        if (const auto reached = reachedBy.find(from); reached != reachedBy.end() && reached->second != waits[j][0])
            waits[j][1] = reached->second;
        leftBy[std::move(from)] = j;
        reachedBy[std::move(to)] = j;
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
