#include "tags/read/folderscan.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "platform/fs/readpool.h"

#include <algorithm>

namespace zentrio {

Mp3Listing listMp3Names(const std::string& folder)
{
    return listAudioNames(folder, AudioFormats::only(AudioFormat::Mp3));
}

// With MP3 alone, isAudioFileName takes exactly the names hasMp3Suffix
// takes, and a subfolder of such a name is listed as it always was; with
// more formats a subfolder is never a file of the list.
Mp3Listing listAudioNames(const std::string& folder, AudioFormats formats)
{
    const bool mp3Alone = formats == AudioFormats::only(AudioFormat::Mp3);
    Mp3Listing listing;
    const auto entries = fs::listFolder(folder);
    if (!entries) {
        listing.outcome = Mp3Listing::Outcome::ListingFailed;
        return listing;
    }
    for (const fs::DirEntry& entry : *entries) {
        if (!isAudioFileName(entry.name, formats) || (entry.isFolder && !mp3Alone))
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

FolderScan scanFolder(const std::string& folder, TagSource source, AudioFormats formats)
{
    FolderScan scan;
    Mp3Listing listing = listAudioNames(folder, formats);
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
