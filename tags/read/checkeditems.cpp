#include "tags/read/checkeditems.h"

#include "platform/fs/filenames.h"

namespace zentrio {

std::vector<std::string> checkedMp3Names(const std::vector<RunItem>& items)
{
    std::vector<std::string> names;
    for (const RunItem& item : items) {
        if (item.checked && hasMp3Suffix(item.name))
            names.push_back(item.name);
    }
    return names;
}

} // namespace zentrio
