#include "platform/fs/setaside.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <unistd.h>

namespace zentrio::fs {

namespace {

    constexpr int kAttempts = 100;

} // namespace

std::string damagedName(const std::string& path, std::time_t time, int attempt)
{
    const std::string stem = path + ".damaged-" + std::to_string(time);
    return attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
}

bool setAsideDamaged(const std::string& path)
{
    const std::time_t now = std::time(nullptr);
    for (int n = 0; n < kAttempts; ++n) {
        const RenameResult result = renameNoReplace(path, damagedName(path, now, n));
        if (result != RenameResult::TargetExists)
            return result == RenameResult::Renamed;
    }
    return false;
}

std::string keepDamagedCopy(const std::string& path, std::string_view text)
{
    const std::string copy = path + ".damaged-copy";
    if (!replaceFileAtomically(copy, text))
        return {};
    const std::time_t now = std::time(nullptr);
    for (int n = 0; n < kAttempts; ++n) {
        const std::string aside = damagedName(path, now, n);
        const RenameResult result = renameNoReplace(copy, aside);
        if (result == RenameResult::Renamed && syncFolder(parentOf(path)))
            return aside;
        if (result != RenameResult::TargetExists)
            break;
    }
    ::unlink(copy.c_str());
    return {};
}

} // namespace zentrio::fs
