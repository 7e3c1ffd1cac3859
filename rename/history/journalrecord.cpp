#include "rename/history/journalrecord.h"
#include "rename/history/recordwords.h"

#include <algorithm>

namespace zentrio {

using namespace recordwords;

namespace {

constexpr std::size_t kPiece = 64 * 1024;

std::string moveLine(const Move& move)
{
    const fs::FileIdentity& id = move.identity;
    return "move " + escapePath(move.from) + ' ' + escapePath(move.to) + ' ' + std::to_string(id.device) + ' '
        + std::to_string(id.inode) + ' ' + std::to_string(id.size) + ' ' + std::to_string(id.birth) + ' '
        + std::to_string(id.modified) + '\n';
}

} // namespace

bool Recognition::byInode(std::uint64_t device) const
{
    return inodesIdentify && std::find(nameOnlyDevices.begin(), nameOnlyDevices.end(), device) == nameOnlyDevices.end();
}

bool Recognition::recognises(const fs::FileIdentity& recorded, const fs::FileIdentity& found) const
{
    const bool sameContents = recorded.size == found.size && recorded.modified == found.modified;
    return fs::sameUnchangedFile(recorded, found, byInode(recorded.device)) && (!unchangedContents || sameContents);
}

std::size_t RunProgress::begunMoves(const RunRecord& record) const
{
    if (end)
        return std::min(done, record.moves.size());
    return std::min(record.moves.size(), done + record.batch);
}

std::string escapePath(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (const unsigned char c : bytes) {
        if (c <= 0x20 || c == 0x7F || c == '%') {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> unescapePath(std::string_view text)
{
    const auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c == 0x7F)
            return std::nullopt;
        if (c != '%') {
            out += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = value(text[i + 1]);
        const int low = value(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

void writeRecord(const RunRecord& record, const std::function<bool(std::string_view)>& sink)
{
    writeRecord(record, record.moves, sink);
}

void writeRecord(const RunRecord& r, std::span<const Move> moves, const std::function<bool(std::string_view)>& sink)
{
    std::string piece = std::string(kHeader) + "\nkind " + kindWord(r.kind) + "\norigin " + originWord(r.origin)
        + "\ntime " + std::to_string(r.time) + "\ninodes " + (r.inodesIdentify ? "1" : "0") + '\n';
    for (const std::uint64_t device : r.nameOnlyDevices)
        piece += "nameonly " + std::to_string(device) + '\n';
    if (!r.folder.empty())
        piece += "folder " + escapePath(r.folder) + '\n';
    piece += "batch " + std::to_string(r.batch) + "\ncounts " + std::to_string(r.madeFolders.size()) + ' '
        + std::to_string(r.emptiedFolders.size()) + ' ' + std::to_string(moves.size()) + '\n';
    bool ok = true;
    const auto add = [&](const std::string& line) {
        piece += line;
        if (piece.size() >= kPiece) {
            ok = ok && sink(piece);
            piece.clear();
        }
    };
    for (const std::string& folder : r.madeFolders)
        add("made " + escapePath(folder) + '\n');
    for (const EmptiedFolder& folder : r.emptiedFolders)
        add("emptied " + escapePath(folder.path) + ' ' + std::to_string(folder.mode) + '\n');
    for (const Move& move : moves)
        add(moveLine(move));
    piece += "begin\n";
    ok = ok && sink(piece);
}

std::string formatRecord(const RunRecord& record)
{
    std::string text;
    writeRecord(record, [&](std::string_view piece) {
        text += piece;
        return true;
    });
    return text;
}

std::string formatMark(std::size_t done)
{
    return "done " + std::to_string(done) + '\n';
}

std::string formatAlso(std::size_t step)
{
    return "also " + std::to_string(step) + '\n';
}

std::string formatEnd(std::size_t done, RunEnd end)
{
    return "end " + std::to_string(done) + ' ' + endWord(end) + '\n';
}

} // namespace zentrio
