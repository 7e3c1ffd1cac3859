#include "cli/dupenotes.h"

#include "cli/output.h"

#include <map>
#include <set>

namespace zentrio::cli {

namespace {

    struct Named {
        const std::string* path = nullptr;
        std::size_t argument = 0;
        bool moved = false;
    };

    using Inode = std::pair<std::uint64_t, std::uint64_t>;

    // The files of the groups by their inode, those the plan moves marked.
    std::map<Inode, Named> groupedFiles(const DupesFound& found, const LibraryPlan& plan)
    {
        std::map<Inode, Named> files;
        for (const DupeGroup& group : found.groups) {
            for (const std::size_t i : group.files) {
                const DupeFile& file = found.files[i];
                files[{ file.identity.device, file.identity.inode }] = { &file.path, file.argument, false };
            }
        }
        for (const PlannedFile& planned : plan.files) {
            const auto named = files.find({ planned.identity.device, planned.identity.inode });
            if (planned.moves() && named != files.end())
                named->second.moved = true;
        }
        return files;
    }

} // namespace

void warnOfOtherNames(const DupesFound& found, const LibraryPlan& plan, const PathDisplay& display)
{
    if (found.otherNames.empty())
        return;
    const std::map<Inode, Named> files = groupedFiles(found, plan);
    std::set<std::string_view> movedPaths;
    for (const PlannedFile& planned : plan.files) {
        if (planned.moves())
            movedPaths.insert(planned.from);
    }
    for (const OtherName& other : found.otherNames) {
        const auto named = files.find({ other.device, other.inode });
        // A link to a name the move leaves (a further hard link of the file) still finds the file.
        if (named == files.end() || (other.symbolic && !movedPaths.contains(other.target)))
            continue;
        const std::string file = display.said(*named->second.path, named->second.argument);
        const std::string name = display.said(other.path, other.argument);
        if (other.symbolic)
            complain(name + ": a symbolic link to " + display.said(other.target, other.argument)
                + ", which is moved: the link is left pointing at nothing");
        else if (named->second.moved)
            complain(name + ": another name (hard link) of " + file
                + ", which is moved: this name stays, and so do its bytes");
        else
            complain(name + ": another name (hard link) of " + file + ", which stays: this name stays too");
    }
}

} // namespace zentrio::cli
