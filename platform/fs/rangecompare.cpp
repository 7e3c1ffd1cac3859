#include "platform/fs/rangecompare.h"

#include "platform/fs/checkedrange.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zentrio::fs {

namespace {

    // Two of these a thread: a bounded memory, however long the files.
    constexpr std::size_t kBlock = 256 * 1024;

} // namespace

RangesCompared compareRanges(const FileRange& a, const FileRange& b)
{
    const CheckedRange first(a.path, a.begin, a.end, a.expected);
    const CheckedRange second(b.path, b.begin, b.end, b.expected);
    if (!first.valid() || !second.valid())
        return RangesCompared::Unreadable;
    if (a.end - a.begin != b.end - b.begin)
        return RangesCompared::Differ;
    thread_local const std::unique_ptr<char[]> left(new char[kBlock]), right(new char[kBlock]);
    for (std::int64_t done = 0; done < a.end - a.begin;) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(a.end - a.begin - done, kBlock));
        if (!first.read(left.get(), count, a.begin + done) || !second.read(right.get(), count, b.begin + done))
            return RangesCompared::Unreadable;
        if (std::memcmp(left.get(), right.get(), count) != 0)
            return RangesCompared::Differ;
        done += static_cast<std::int64_t>(count);
    }
    return first.unchanged() && second.unchanged() ? RangesCompared::Same : RangesCompared::Unreadable;
}

} // namespace zentrio::fs
