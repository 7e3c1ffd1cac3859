#include "rename/history/undopick.h"

#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"

#include <unordered_set>

namespace zentrio {

namespace {

// What the older run did that a newer one may touch.
class Footprint {
public:
    Footprint(const RunRecord& run, const std::vector<Move>& made)
    {
        for (const Move& move : made) {
            m_movedTo.insert(move.to);
            m_movedFrom.insert(move.from);
        }
        m_folders.insert(run.madeFolders.begin(), run.madeFolders.end());
        for (const EmptiedFolder& folder : run.emptiedFolders)
            m_folders.insert(folder.path);
    }

    std::optional<std::string> touchedBy(const Move& move) const
    {
        if (m_movedTo.contains(move.from))
            return "it moved " + move.from + " again";
        if (m_movedFrom.contains(move.to))
            return "it put a file at " + move.to;
        return std::nullopt;
    }

    // A folder the newer run made or removed that is one the older run made
    // or removed. Files a newer run moved into or out of such a folder are
    // no hindrance: undo removes a folder it made only when it is empty, and
    // makes a removed one again only when it is missing.
    std::optional<std::string> touchedByFolder(const std::string& folder) const
    {
        if (m_folders.contains(folder))
            return "it made or removed " + folder;
        return std::nullopt;
    }

private:
    std::unordered_set<std::string> m_movedTo, m_movedFrom, m_folders;
};

// Why one newer run touches the footprint, if it does.
std::optional<std::string> touches(const Footprint& footprint, const RunFile& file)
{
    if (runInProgress(file.path))
        return "it is still going on";
    const auto text = fs::readWholeFile(file.path);
    if (!text)
        return "its record cannot be read";
    const ParsedRun parsed = parseRun(*text);
    if (parsed.state == ParsedRun::State::Unfinished)
        return std::nullopt; // it never began
    if (parsed.state == ParsedRun::State::Damaged)
        return "its record is damaged: what it did is not all known";
    const RunRecord& record = parsed.record;
    // The moves it may have made: those begun, those said made, every one
    // when its marks are damaged.
    const std::size_t begun = parsed.damage.marksLost ? record.moves.size() : parsed.progress.begunMoves(record);
    std::vector<bool> mayHaveMoved(record.moves.size(), false);
    for (std::size_t k = 0; k < begun; ++k)
        mayHaveMoved[k] = true;
    for (const std::size_t also : parsed.progress.alsoDone) {
        if (also < mayHaveMoved.size())
            mayHaveMoved[also] = true;
    }
    for (std::size_t k = 0; k < record.moves.size(); ++k) {
        if (!mayHaveMoved[k])
            continue;
        if (auto reason = footprint.touchedBy(record.moves[k]))
            return reason;
    }
    for (const std::string& folder : record.madeFolders) {
        if (auto reason = footprint.touchedByFolder(folder))
            return reason;
    }
    for (const EmptiedFolder& folder : record.emptiedFolders) {
        if (auto reason = footprint.touchedByFolder(folder.path))
            return reason;
    }
    return std::nullopt;
}

} // namespace

std::optional<NewerTouch> newerRunTouching(
    const RunRecord& older, const std::vector<Move>& made, const std::vector<RunFile>& newer)
{
    const Footprint footprint(older, made);
    for (const RunFile& file : newer) {
        if (auto reason = touches(footprint, file))
            return NewerTouch { file.number, std::move(*reason) };
    }
    return std::nullopt;
}

} // namespace zentrio
