#include "tags/write/endregionwrite.h"

#include "tags/write/endregion.h"
#include "tags/write/tagchange.h"

namespace zentrio {

std::optional<EndRegionWrites> endRegionWrites(const TagLayout& layout, std::string_view region)
{
    const auto format = endRegionFormat(layout.format);
    const std::int64_t length = layout.regionOffset + static_cast<std::int64_t>(region.size());
    if (!format || !layout.regionAtEnd || !lengthFits(*format, length))
        return std::nullopt;
    EndRegionWrites writes;
    if (length != layout.length) {
        if (auto size = sizeFieldPatch(*format, length))
            writes.patches.push_back(std::move(*size));
    }
    for (fs::Patch& run : changedRuns(layout.region, std::string(region))) {
        run.offset += layout.regionOffset;
        writes.patches.push_back(std::move(run));
    }
    if (length < layout.length)
        writes.newLength = length;
    return writes;
}

} // namespace zentrio
