#include "tags/dupes/dupeconfirm.h"

#include "platform/fs/rangecompare.h"
#include "platform/fs/readpool.h"

#include <chrono>
#include <future>
#include <thread>

namespace zentrio {

namespace {

    struct Pair {
        std::size_t group = 0;
        std::size_t kept = 0; // into found.files
        std::size_t other = 0;
    };

    fs::FileRange rangeOf(const DupeFile& file)
    {
        return { file.path, file.span->begin, file.span->end, file.identity };
    }

    // Followed by the kept file's path.
    std::string faultText(fs::RangesCompared compared)
    {
        if (compared == fs::RangesCompared::Differ)
            return "left out of its group, not moved: its audio differs byte for byte, though the digests match, "
                   "from that of";
        return "not moved: it changed or cannot be read since its audio was digested, or so did";
    }

} // namespace

bool confirmGroups(DupesFound& found, KeepRule rule,
    const std::function<bool(const char*, std::size_t, std::size_t)>& progress)
{
    std::vector<Pair> pairs;
    for (std::size_t g = 0; g < found.groups.size(); ++g) {
        const DupeGroup& group = found.groups[g];
        const std::size_t kept = group.files[keptFile(found, group, rule)];
        for (const std::size_t other : group.files) {
            if (other != kept)
                pairs.push_back({ g, kept, other });
        }
    }
    std::atomic<std::size_t> done { 0 };
    std::atomic<bool> stop { false };
    auto compare = [&] {
        return readInOrder(
            pairs.size(),
            [&](std::size_t k) -> std::optional<fs::RangesCompared> {
                if (stop.load())
                    return std::nullopt;
                const auto compared
                    = fs::compareRanges(rangeOf(found.files[pairs[k].kept]), rangeOf(found.files[pairs[k].other]));
                ++done;
                return compared;
            },
            ReadAll::Yes);
    };
    std::vector<std::optional<fs::RangesCompared>> results;
    if (!progress) {
        results = compare();
    } else {
        auto ended = std::async(std::launch::async, compare);
        while (ended.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            if (!stop.load() && !progress("comparing", done.load(), pairs.size()))
                stop = true;
        }
        results = ended.get();
    }
    if (stop.load())
        return false;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (*results[k] == fs::RangesCompared::Same)
            continue;
        const DupeFile& other = found.files[pairs[k].other];
        const DupeFile& kept = found.files[pairs[k].kept];
        found.faults.push_back({ other.path, other.argument, faultText(*results[k]), kept.path, kept.argument });
        std::erase(found.groups[pairs[k].group].files, pairs[k].other);
    }
    std::erase_if(found.groups, [](const DupeGroup& group) { return group.files.size() < 2; });
    std::stable_sort(found.faults.begin(), found.faults.end(),
        [](const DupeFault& a, const DupeFault& b) { return pathLess(a.path, b.path); });
    return true;
}

} // namespace zentrio
