// Any bytes as a run's record in the rename journal: no crash; a record read
// as whole is written back to the same moves and folders; undo never looks
// at more moves than the record holds.
#include "rename/history/journalrecord.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zentrio;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedRun parsed = parseRun(text);
    parseSummary(text, text);
    if (parsed.state != ParsedRun::State::Begun)
        return 0;
    const RunRecord& record = parsed.record;
    if (parsed.progress.begunMoves(record) > record.moves.size())
        std::abort();
    const ParsedRun again = parseRun(formatRecord(record));
    if (again.state != ParsedRun::State::Begun || again.record.moves.size() != record.moves.size()
        || again.record.madeFolders != record.madeFolders || again.record.folder != record.folder)
        std::abort();
    for (std::size_t i = 0; i < record.moves.size(); ++i) {
        if (again.record.moves[i].from != record.moves[i].from || again.record.moves[i].to != record.moves[i].to)
            std::abort();
    }
    return 0;
}
