#include "tags/read/folderscan.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"

#include <algorithm>

namespace zentrio {

Mp3Listing listMp3Names(const std::string& folder)
{
    Mp3Listing listing;
    const auto entries = fs::listFolder(folder);
    if (!entries) {
        listing.outcome = Mp3Listing::Outcome::ListingFailed;
        return listing;
    }
    for (const fs::DirEntry& entry : *entries) {
        if (!hasMp3Suffix(entry.name))
            continue;
        if (listing.names.size() == kMaxMp3Files) {
            listing.outcome = Mp3Listing::Outcome::TooMany;
            listing.names.clear();
            return listing;
        }
        listing.names.push_back(entry.name);
    }
    // std::string compares as unsigned bytes: code-point order for UTF-8.
    std::sort(listing.names.begin(), listing.names.end());
    return listing;
}

FolderScan scanFolder(const std::string& folder, TagSource source)
{
    FolderScan scan;
    Mp3Listing listing = listMp3Names(folder);
    if (listing.outcome == Mp3Listing::Outcome::ListingFailed) {
        scan.outcome = FolderScan::Outcome::ListingFailed;
        return scan;
    }
    if (listing.outcome == Mp3Listing::Outcome::TooMany) {
        scan.outcome = FolderScan::Outcome::TooMany;
        return scan;
    }
    const std::string prefix = folderPath(folder);
    auto tags = readInOrder(listing.names.size(), [&](std::size_t i) { return readFileTag(prefix + listing.names[i], source); });
    scan.rows.reserve(listing.names.size());
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (!tags[i]) {
            scan.outcome = FolderScan::Outcome::ReadFailed;
            return scan;
        }
        scan.rows.push_back({ std::move(listing.names[i]), std::move(*tags[i]) });
    }
    return scan;
}

} // namespace zentrio
