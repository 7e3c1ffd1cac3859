#include "rename/history/journalrecord.h"
#include "rename/history/recordwords.h"

#include <algorithm>

// Reading a run's record back, also when a crash or the disk damaged it:
// what can be read is salvaged, and what was lost is said.
namespace zentrio {

using namespace recordwords;

namespace {

// Records written before the modification time was kept have one word less.
std::optional<Move> parseMove(const std::vector<std::string_view>& w)
{
    if ((w.size() != 7 && w.size() != 8) || w[0] != "move")
        return std::nullopt;
    auto from = unescapePath(w[1]);
    auto to = unescapePath(w[2]);
    const auto device = numberOf<std::uint64_t>(w[3]);
    const auto inode = numberOf<std::uint64_t>(w[4]);
    const auto size = numberOf<std::int64_t>(w[5]);
    const auto birth = numberOf<std::int64_t>(w[6]);
    const auto modified = w.size() == 8 ? numberOf<std::int64_t>(w[7]) : std::optional<std::int64_t>(0);
    if (!from || !to || from->empty() || to->empty() || !device || !inode || !size || !birth || !modified)
        return std::nullopt;
    Move move { std::move(*from), std::move(*to), {} };
    move.identity = { *device, *inode, *size, *birth, *modified };
    return move;
}

// The header's "key value" lines, in their order.
struct Header {
    RunRecord record;
    std::size_t made = 0, emptied = 0, moves = 0;
};

// Reads the header from lines[at...]; at is left after "counts", or at
// lines.size() when the lines end before it.
std::optional<Header> parseHeader(const std::vector<std::string_view>& lines, std::size_t& at)
{
    at = 0;
    if (lines.empty() || lines[0] != kHeader)
        return std::nullopt;
    Header h;
    for (at = 1; at < lines.size(); ++at) {
        const auto w = wordsOf(lines[at]);
        if (w.size() == 2 && w[0] == "kind" && (w[1] == "folder" || w[1] == "moves")) {
            h.record.kind = w[1] == "folder" ? RunKind::Folder : RunKind::Moves;
        } else if (w.size() == 2 && w[0] == "origin" && (w[1] == "window" || w[1] == "cli")) {
            h.record.origin = w[1] == "window" ? RunOrigin::Window : RunOrigin::CommandLine;
        } else if (w.size() == 2 && w[0] == "time" && numberOf<std::int64_t>(w[1])) {
            h.record.time = *numberOf<std::int64_t>(w[1]);
        } else if (w.size() == 2 && w[0] == "inodes" && (w[1] == "0" || w[1] == "1")) {
            h.record.inodesIdentify = w[1] == "1";
        } else if (w.size() == 2 && w[0] == "nameonly" && numberOf<std::uint64_t>(w[1])) {
            h.record.nameOnlyDevices.push_back(*numberOf<std::uint64_t>(w[1]));
        } else if (w.size() == 2 && w[0] == "folder" && unescapePath(w[1])) {
            h.record.folder = *unescapePath(w[1]);
        } else if (w.size() == 2 && w[0] == "batch" && numberOf<std::size_t>(w[1])) {
            h.record.batch = *numberOf<std::size_t>(w[1]);
        } else if (w.size() == 4 && w[0] == "counts" && numberOf<std::size_t>(w[1]) && numberOf<std::size_t>(w[2])
            && numberOf<std::size_t>(w[3])) {
            h.made = *numberOf<std::size_t>(w[1]);
            h.emptied = *numberOf<std::size_t>(w[2]);
            h.moves = *numberOf<std::size_t>(w[3]);
            ++at;
            return h;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// "done K", "also K" or "end K OUTCOME" into progress; false for anything else.
bool parseMark(std::string_view line, RunProgress& progress)
{
    const auto w = wordsOf(line);
    if (w.size() == 2 && w[0] == "done" && numberOf<std::size_t>(w[1])) {
        progress.done = std::max(progress.done, *numberOf<std::size_t>(w[1]));
        return true;
    }
    if (w.size() == 2 && w[0] == "also" && numberOf<std::size_t>(w[1])) {
        progress.alsoDone.push_back(*numberOf<std::size_t>(w[1]));
        return true;
    }
    if (w.size() == 3 && w[0] == "end" && numberOf<std::size_t>(w[1])) {
        for (const RunEnd end : { RunEnd::Completed, RunEnd::Failed, RunEnd::Interrupted }) {
            if (w[2] == endWord(end)) {
                progress.done = *numberOf<std::size_t>(w[1]);
                progress.end = end;
                return true;
            }
        }
    }
    return false;
}

// The whole lines of a text; a last line without its line end was cut short.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// One of the lines between the head and "begin", read as the entry it
// holds: entry i is a made folder, an emptied one, then a move.
bool readEntry(std::string_view line, std::size_t i, const Header& h, RunRecord& record)
{
    const auto w = wordsOf(line);
    if (i < h.made) {
        auto folder = w.size() == 2 && w[0] == "made" ? unescapePath(w[1]) : std::nullopt;
        if (folder)
            record.madeFolders.push_back(std::move(*folder));
        return folder.has_value();
    }
    if (i < h.made + h.emptied) {
        auto folder = w.size() == 3 && w[0] == "emptied" ? unescapePath(w[1]) : std::nullopt;
        const auto mode = w.size() == 3 ? numberOf<unsigned>(w[2]) : std::nullopt;
        if (folder && mode)
            record.emptiedFolders.push_back({ std::move(*folder), *mode & 07777 });
        return folder && mode;
    }
    auto move = parseMove(w);
    if (move && i - h.made - h.emptied < record.moves.size())
        record.moves[i - h.made - h.emptied] = std::move(*move);
    return move.has_value();
}

void loseEntry(std::size_t i, const Header& h, RecordDamage& damage)
{
    if (i < h.made)
        ++damage.lostMade;
    else if (i < h.made + h.emptied)
        ++damage.lostEmptied;
    else
        damage.lostMoves.push_back(i - h.made - h.emptied);
}

// The entries of lines[at, beginAt): in their places when "begin" is in
// its own; else (lines lost or split) those before the first damaged line
// from the head, those after the last from "begin" back (when it reads).
void readEntries(const std::vector<std::string_view>& lines, std::size_t at, std::size_t beginAt, bool beginRead,
    const Header& h, ParsedRun& parsed)
{
    const std::size_t entries = h.made + h.emptied + h.moves;
    RecordDamage& damage = parsed.damage;
    parsed.record.moves.resize(h.moves);
    // In place: "begin" is where it belongs and every line begins with the
    // word of the entry it holds there (a line lost and one split elsewhere
    // would leave "begin" in its place but shift the lines between).
    bool inPlace = beginAt == at + entries;
    for (std::size_t i = 0; inPlace && i < entries; ++i) {
        const std::string_view word = wordsOf(lines[at + i]).front();
        inPlace = word == (i < h.made ? "made" : i < h.made + h.emptied ? "emptied" : "move");
    }
    std::size_t front = 0;
    for (; front < entries && at + front < beginAt; ++front) {
        if (!readEntry(lines[at + front], front, h, parsed.record)) {
            if (!inPlace)
                break;
            damage.lines.push_back(at + front + 1);
            loseEntry(front, h, damage);
        }
    }
    if (inPlace)
        return;
    // Counted from "begin" back only when it reads, and the lines between
    // are about as many as the head says (a line or two lost or split, not
    // a damaged count).
    const std::size_t between = beginAt - at;
    const bool fromBegin = beginRead && between + 2 >= entries && between <= entries + 2;
    std::size_t back = 0;
    RunRecord scratch; // the lines are only tried: read below in their order
    while (fromBegin && front + back < entries && beginAt - back > at + front + 1
        && readEntry(lines[beginAt - back - 1], entries - back - 1, h, scratch))
        ++back;
    for (std::size_t i = entries - back; i < entries; ++i)
        readEntry(lines[beginAt - (entries - i)], i, h, parsed.record);
    for (std::size_t line = at + front; line + back < beginAt; ++line)
        damage.lines.push_back(line + 1);
    for (std::size_t i = front; i + back < entries; ++i)
        loseEntry(i, h, damage);
    if (beginRead && damage.lines.empty() && front + back < entries)
        damage.lines.push_back(at); // the lines are fewer than its head counts: "counts" is damaged
}

// The marks after "begin"; one that does not read after the last whole
// "done" may have been an "also" or the end.
void readMarks(const std::vector<std::string_view>& lines, std::size_t beginAt, ParsedRun& parsed)
{
    std::size_t lastDone = 0, lastBad = 0;
    for (std::size_t at = beginAt + 1; at < lines.size(); ++at) {
        if (lines[at].starts_with("playlist ")) {
            // A playlist line that does not read leaves its playlist alone;
            // the moves' marks are not hidden by it.
            if (auto playlist = parsePlaylistLine(lines[at]))
                parsed.playlists.push_back(std::move(*playlist));
            else
                parsed.damage.lines.push_back(at + 1);
        } else if (!parseMark(lines[at], parsed.progress)) {
            parsed.damage.lines.push_back(at + 1);
            lastBad = at;
        } else if (lines[at].starts_with("done ")) {
            lastDone = at;
        }
    }
    parsed.damage.marksLost = lastBad > lastDone;
}


} // namespace

bool RecordDamage::lost(std::size_t step) const
{
    return std::find(lostMoves.begin(), lostMoves.end(), step) != lostMoves.end();
}

ParsedRun parseRun(std::string_view text)
{
    ParsedRun parsed;
    const std::vector<std::string_view> lines = linesOf(text);
    std::size_t at = 0;
    auto header = parseHeader(lines, at);
    if (!header) {
        // A header cut short by a crash never began its run.
        const bool cut = at == lines.size() && (lines.empty() || lines[0] == kHeader);
        parsed.state = cut ? ParsedRun::State::Unfinished : ParsedRun::State::Damaged;
        if (!cut)
            parsed.damage.lines.push_back(std::min(at, lines.size()) + 1);
        return parsed;
    }
    const std::size_t place = at + header->made + header->emptied + header->moves; // where "begin" belongs
    std::size_t beginAt = place;
    if (place >= lines.size() || lines[place] != "begin") {
        const auto found = std::find(lines.begin() + static_cast<std::ptrdiff_t>(at), lines.end(), "begin");
        beginAt = static_cast<std::size_t>(found - lines.begin());
    }
    const bool noBegin = beginAt >= lines.size();
    if (noBegin) {
        // "begin" damaged: it is the line before the first mark, or the last
        // line where the lines end just after where it belongs.
        RunProgress scratch;
        for (std::size_t line = at; line < lines.size() && beginAt >= lines.size(); ++line) {
            if (line > at && parseMark(lines[line], scratch))
                beginAt = line - 1;
        }
        if (beginAt >= lines.size() && lines.size() == place + 1)
            beginAt = place;
        if (beginAt >= lines.size() && lines.size() > place)
            return parsed; // neither: whether and where it began is not known
    }
    if (noBegin && lines.size() <= place && beginAt >= lines.size()) {
        // Cut short before "begin": the run never began, unless what is
        // there is damaged too and may have hidden it.
        RunRecord scratch; // the lines are only read
        bool whole = true;
        for (std::size_t line = at; line < lines.size() && whole; ++line)
            whole = readEntry(lines[line], line - at, *header, scratch);
        parsed.state = whole ? ParsedRun::State::Unfinished : ParsedRun::State::Damaged;
        return parsed;
    }
    if (beginAt < place && place - beginAt > lines.size())
        return parsed; // counts far beyond the lines: the head itself is damaged
    parsed.record = std::move(header->record);
    readEntries(lines, at, beginAt, !noBegin, *header, parsed);
    if (noBegin)
        parsed.damage.lines.push_back(beginAt + 1);
    readMarks(lines, beginAt, parsed);
    const bool entriesDamaged = !parsed.damage.lostMoves.empty() || parsed.damage.lostMade > 0
        || parsed.damage.lostEmptied > 0 || noBegin;
    parsed.state = entriesDamaged ? ParsedRun::State::Damaged : ParsedRun::State::Begun;
    parsed.salvaged = entriesDamaged;
    std::sort(parsed.damage.lines.begin(), parsed.damage.lines.end());
    return parsed;
}

std::optional<RunSummary> parseSummary(std::string_view head, std::string_view tail)
{
    const std::vector<std::string_view> lines = linesOf(head);
    std::size_t at = 0;
    const auto header = parseHeader(lines, at);
    if (!header)
        return std::nullopt;
    RunSummary summary { header->record.kind, header->record.origin, header->record.time, header->record.folder,
        header->moves, header->made, header->emptied, {} };
    const std::size_t firstWhole = tail.find('\n');
    if (firstWhole != std::string_view::npos) {
        for (const std::string_view line : linesOf(tail.substr(firstWhole + 1)))
            parseMark(line, summary.progress);
    }
    return summary;
}

} // namespace zentrio
