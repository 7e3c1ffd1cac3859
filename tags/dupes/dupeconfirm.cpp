#include "tags/dupes/dupeconfirm.h"

#include "platform/fs/rangecompare.h"
#include "platform/fs/readpool.h"
#include "tags/dupes/withprogress.h"

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

bool confirmGroups(DupesFound& found, KeepRule rule, const DupeProgress& progress)
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
    std::vector<std::optional<fs::RangesCompared>> results;
    withProgress(
        [&] {
            results = readInOrder(
                pairs.size(),
                [&](std::size_t k) -> std::optional<fs::RangesCompared> {
                    if (stop.load())
                        return std::nullopt;
                    const auto compared = fs::compareRanges(
                        rangeOf(found.files[pairs[k].kept]), rangeOf(found.files[pairs[k].other]));
                    ++done;
                    return compared;
                },
                ReadAll::Yes);
        },
        done, pairs.size(), "comparing", progress, stop);
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
