#include "tags/read/checkeditems.h"

namespace zentrio {

std::vector<std::string> checkedAudioNames(const std::vector<RunItem>& items, AudioFormats formats)
{
    std::vector<std::string> names;
    for (const RunItem& item : items) {
        if (item.checked && isAudioFileName(item.name, formats))
            names.push_back(item.name);
    }
    return names;
}

std::vector<std::string> checkedMp3Names(const std::vector<RunItem>& items)
{
    return checkedAudioNames(items, AudioFormats::only(AudioFormat::Mp3));
}

} // namespace zentrio
