#include "tags/journal/tagjournalformat.h"

#include "platform/fs/digest.h"
#include "platform/fs/posixio.h"
#include "tags/write/taglayout.h"

#include <charconv>
#include <sys/stat.h>

namespace zentrio::tagjournal {

namespace {

    constexpr std::size_t kLongestLine = 256;
    constexpr std::int64_t kStampNotWritten = -2;
    // Larger than any tag region (ID3v2 sizes have 28 bits): a bigger size in
    // a journal is damage.
    constexpr std::int64_t kLargest = std::int64_t(1) << 29;

    // Reads a journal file line by line and steps over tag bytes, through a
    // buffer, so that only what is asked for is read.
    class Reader {
    public:
        Reader(int fd, std::int64_t length, std::int64_t at = 0)
            : m_fd(fd)
            , m_length(length)
            , m_at(at)
        {
        }
        std::int64_t at() const { return m_at; }
        bool atEnd() const { return m_at >= m_length; }
        void seek(std::int64_t at) { m_at = at; }

        std::optional<std::string> line()
        {
            std::string out;
            while (out.size() <= kLongestLine) {
                if (!fill())
                    return std::nullopt;
                const char c = m_buffer[static_cast<std::size_t>(m_at - m_start)];
                ++m_at;
                if (c == '\n')
                    return out;
                out += c;
            }
            return std::nullopt;
        }
        std::optional<std::string> bytes(std::int64_t count)
        {
            if (count < 0 || count > m_length - m_at)
                return std::nullopt;
            std::string out(static_cast<std::size_t>(count), '\0');
            for (std::size_t done = 0; done < out.size();) {
                if (!fill())
                    return std::nullopt;
                const auto offset = static_cast<std::size_t>(m_at - m_start);
                const std::size_t n = std::min(out.size() - done, m_buffer.size() - offset);
                out.replace(done, n, m_buffer, offset, n);
                done += n;
                m_at += static_cast<std::int64_t>(n);
            }
            return out;
        }
        bool skip(std::int64_t count)
        {
            if (count < 0 || count > m_length - m_at)
                return false;
            m_at += count;
            return true;
        }

    private:
        bool fill()
        {
            if (m_at >= m_start && m_at < m_start + static_cast<std::int64_t>(m_buffer.size()))
                return true;
            if (m_at >= m_length)
                return false;
            m_buffer.resize(static_cast<std::size_t>(std::min<std::int64_t>(65536, m_length - m_at)));
            m_start = m_at;
            return fs::readFully(m_fd, m_buffer.data(), m_buffer.size(), static_cast<off_t>(m_at));
        }

        int m_fd;
        std::int64_t m_length;
        std::int64_t m_at;
        std::int64_t m_start = 0;
        std::string m_buffer;
    };

    bool toNumber(std::string_view text, std::int64_t& value)
    {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size();
    }

    bool toId(std::string_view text, std::uint64_t& value)
    {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size();
    }

    // A line's words, split at blanks.
    std::vector<std::string> words(const std::string& line)
    {
        std::vector<std::string> out;
        for (std::size_t start = 0; start <= line.size();) {
            const std::size_t blank = std::min(line.find(' ', start), line.size());
            if (blank > start)
                out.push_back(line.substr(start, blank - start));
            start = blank + 1;
        }
        return out;
    }

    // Numbers from words[first] on, none negative.
    bool numbers(const std::vector<std::string>& w, std::size_t first, std::size_t count, std::int64_t* out)
    {
        if (w.size() < first + count)
            return false;
        for (std::size_t i = 0; i < count; ++i) {
            if (!toNumber(w[first + i], out[i]) || out[i] < 0)
                return false;
        }
        return true;
    }

    std::string fingerprintText(const std::optional<TagFingerprint>& print)
    {
        return print ? std::to_string(print->length) + ':' + digestText(print->digest) : std::string("-");
    }

    bool parseFingerprint(const std::string& text, std::optional<TagFingerprint>& print)
    {
        if (text == "-")
            return true;
        const auto colon = text.find(':');
        TagFingerprint parsed;
        if (colon == std::string::npos || !toNumber(std::string_view(text).substr(0, colon), parsed.length)
            || !parseDigestText(std::string_view(text).substr(colon + 1), parsed.digest))
            return false;
        print = parsed;
        return true;
    }

    std::string timeText(const std::optional<std::int64_t>& modified)
    {
        return modified ? std::to_string(*modified) : std::string("-");
    }

    bool parseTime(const std::string& text, std::optional<std::int64_t>& modified)
    {
        std::int64_t value = 0;
        if (text == "-")
            return true;
        if (!toNumber(text, value))
            return false;
        modified = value;
        return true;
    }

    bool readPiece(Reader& in, OldPiece* piece)
    {
        const auto line = in.line();
        const auto w = line ? words(*line) : std::vector<std::string> {};
        std::int64_t n[2] = {};
        if (w.size() < 3 || w[0] != "piece")
            return false;
        if (w[1] == "b" && w.size() == 3 && numbers(w, 2, 1, n) && n[0] <= kLargest) {
            auto bytes = in.bytes(n[0]);
            if (!bytes || in.line() != std::string())
                return false;
            if (piece)
                *piece = { OldPiece::Kind::Bytes, std::move(*bytes) };
            return true;
        }
        if (w[1] == "z" && w.size() == 3 && numbers(w, 2, 1, n) && n[0] <= kLargest) {
            if (piece)
                *piece = { OldPiece::Kind::Zeros, {}, 0, static_cast<std::size_t>(n[0]) };
            return true;
        }
        std::uint64_t digest = 0;
        if (w[1] == "m" && w.size() == 5 && numbers(w, 2, 2, n) && n[0] <= kLargest && n[1] <= kLargest
            && parseDigestText(w[4], digest)) {
            if (piece)
                *piece = { OldPiece::Kind::Moved, {}, static_cast<std::size_t>(n[0]), static_cast<std::size_t>(n[1]), digest };
            return true;
        }
        return false;
    }

    // One file of a command; its bytes only when `file` is given, and of
    // them only its path with `pathOnly`.
    bool readFileEntry(Reader& in, bool withIds, TagSnapshot* file, bool pathOnly = false)
    {
        const auto line = in.line();
        const auto w = line ? words(*line) : std::vector<std::string> {};
        std::int64_t n[6] = {};
        const std::size_t count = withIds ? 6 : 5;
        const std::size_t words = 1 + count + (withIds ? 2 : 0);
        // A time only from versions that keep it, an offset only for a region that needs one.
        const bool withTime = withIds && (w.size() == words + 1 || w.size() == words + 2);
        const bool withOffset = withIds && w.size() == words + 2;
        if ((w.size() != words && !withTime) || w[0] != "file" || !numbers(w, 1, count, n) || n[4] > kLargest)
            return false;
        TagSnapshot parsed;
        if (withIds && (!parseFingerprint(w[7], parsed.before) || !parseFingerprint(w[8], parsed.written)))
            return false;
        if (withTime && !parseTime(w[9], parsed.modified))
            return false;
        if (withOffset && (!numbers(w, 10, 1, &parsed.regionOffset) || parsed.regionOffset > n[1]))
            return false;
        const std::int64_t recordBytes = n[2] ? kRecordSize : 0;
        if (!file) {
            if (!in.skip(n[0]) || !in.skip(recordBytes) || !in.skip(n[4]) || in.line() != std::string())
                return false;
        } else if (pathOnly) {
            auto path = in.bytes(n[0]);
            if (!path || !in.skip(recordBytes) || !in.skip(n[4]) || in.line() != std::string())
                return false;
            parsed.path = std::move(*path);
        } else {
            auto path = in.bytes(n[0]);
            auto record = in.bytes(recordBytes);
            auto region = in.bytes(n[4]);
            if (!path || !record || !region || in.line() != std::string())
                return false;
            parsed.path = std::move(*path);
            parsed.length = n[1];
            if (n[2])
                parsed.record = std::move(*record);
            parsed.regionCaptured = n[3] != 0;
            parsed.region = std::move(*region);
        }
        for (std::int64_t p = 0; p < (withIds ? n[5] : 0); ++p) {
            OldPiece piece;
            if (!readPiece(in, file && !pathOnly ? &piece : nullptr))
                return false;
            if (!pathOnly)
                parsed.pieces.push_back(std::move(piece));
        }
        if (file)
            *file = std::move(parsed);
        return true;
    }

    bool isEndLine(const std::string& line, const Block& block, std::size_t files)
    {
        const auto w = words(line);
        std::uint64_t id = 0;
        std::int64_t count = 0;
        return w.size() == 3 && w[0] == "end" && toId(w[1], id) && id == block.id && toNumber(w[2], count)
            && static_cast<std::size_t>(count) == files;
    }

    // Steps over a command's files after its first line, setting its count
    // and whether it is closed. The earlier form counts its files up front.
    // A command of this form ends at its end line; where the journal ends
    // first, or bytes follow that are no whole file, it is open: a crash cut
    // it short, and its whole files count.
    bool stepOverCommand(Reader& in, Block& block)
    {
        if (!block.withIds) {
            for (std::size_t i = 0; i < block.count; ++i) {
                if (!readFileEntry(in, false, nullptr))
                    return false;
            }
            return in.line() == std::string("end");
        }
        for (std::size_t i = 0;; ++i) {
            const std::int64_t at = in.at();
            const auto line = in.atEnd() ? std::nullopt : in.line();
            if (line && isEndLine(*line, block, i)) {
                block.count = i;
                return true;
            }
            in.seek(at);
            if (!line || !readFileEntry(in, true, nullptr)) {
                in.seek(at);
                block.count = i;
                block.open = true;
                return true;
            }
        }
    }

    std::optional<Block> readBlock(Reader& in, const std::vector<Block>& before)
    {
        Block block;
        block.start = in.at();
        const auto line = in.line();
        const auto w = line ? words(*line) : std::vector<std::string> {};
        std::int64_t count = 0;
        if (w.size() == 4 && w[0] == "tagcommand" && toId(w[1], block.id) && toNumber(w[2], block.time)
            && (w[3] == "window" || w[3] == "cli")) {
            block.origin = w[3] == "cli" ? TagOrigin::CommandLine : TagOrigin::Window;
            if (!stepOverCommand(in, block))
                return std::nullopt;
        } else if (w.size() == 2 && w[0] == "command" && toNumber(w[1], count) && count >= 0) {
            block.withIds = false;
            block.count = static_cast<std::size_t>(count);
            if (!stepOverCommand(in, block))
                return std::nullopt;
        } else if ((w.size() == 3 && w[0] == "notwritten" && toId(w[1], block.id) && toNumber(w[2], count) && count >= 0)
            || (w.size() == 2 && w[0] == "stamps" && toNumber(w[1], count) && count >= 0 && !before.empty()
                && before.back().kind == Block::Kind::Command && !before.back().withIds)) {
            block.kind = w[0] == "stamps" ? Block::Kind::Stamps : Block::Kind::NotWritten;
            block.withIds = block.kind == Block::Kind::NotWritten;
            block.count = static_cast<std::size_t>(count);
            block.owner = before.empty() ? 0 : before.size() - 1;
            for (std::int64_t i = 0; i < count; ++i) {
                if (!in.line())
                    return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        block.end = in.at();
        return block;
    }

    void applyMarks(Reader& in, const Block& block, std::vector<TagSnapshot>& files)
    {
        for (std::size_t i = 0; i < block.count; ++i) {
            const auto w = words(in.line().value_or(std::string()));
            std::int64_t index = 0;
            if (block.kind == Block::Kind::NotWritten) {
                if (w.size() == 1 && toNumber(w[0], index) && index >= 0 && static_cast<std::size_t>(index) < files.size())
                    files[static_cast<std::size_t>(index)].notWritten = true;
                continue;
            }
            std::int64_t size = 0;
            std::int64_t time = 0;
            if (i >= files.size() || w.size() != 2 || !toNumber(w[0], size) || !toNumber(w[1], time))
                continue;
            if (size == kStampNotWritten)
                files[i].notWritten = true;
            else if (size >= 0)
                files[i].after = FileStamp { size, time };
        }
    }

} // namespace

std::string formatCommandStart(std::uint64_t id, std::int64_t time, TagOrigin origin)
{
    return "tagcommand " + std::to_string(id) + ' ' + std::to_string(time) + ' '
        + (origin == TagOrigin::Window ? "window" : "cli") + '\n';
}

std::string formatFile(const TagSnapshot& f)
{
    std::string out = "file " + std::to_string(f.path.size()) + ' ' + std::to_string(f.length) + ' '
        + (f.record ? '1' : '0') + ' ' + (f.regionCaptured ? '1' : '0') + ' ' + std::to_string(f.region.size()) + ' '
        + std::to_string(f.pieces.size()) + ' ' + fingerprintText(f.before) + ' ' + fingerprintText(f.written) + ' ' + timeText(f.modified)
        + (f.regionOffset != 0 ? ' ' + std::to_string(f.regionOffset) : std::string()) // none at 0, as earlier versions wrote
        + '\n' + f.path + f.record.value_or(std::string()) + f.region + '\n';
    for (const OldPiece& piece : f.pieces) {
        switch (piece.kind) {
        case OldPiece::Kind::Bytes:
            out += "piece b " + std::to_string(piece.bytes.size()) + '\n' + piece.bytes + '\n';
            break;
        case OldPiece::Kind::Zeros:
            out += "piece z " + std::to_string(piece.size) + '\n';
            break;
        case OldPiece::Kind::Moved:
            out += "piece m " + std::to_string(piece.offset) + ' ' + std::to_string(piece.size) + ' '
                + digestText(piece.digest) + '\n';
            break;
        }
    }
    return out;
}

std::string formatCommandEnd(std::uint64_t id, std::size_t count)
{
    return "end " + std::to_string(id) + ' ' + std::to_string(count) + '\n';
}

std::string formatNotWritten(std::uint64_t id, const std::vector<std::size_t>& files)
{
    std::string out = "notwritten " + std::to_string(id) + ' ' + std::to_string(files.size()) + '\n';
    for (const std::size_t index : files)
        out += std::to_string(index) + '\n';
    return out;
}

Scan scanJournal(int fd)
{
    Scan scan;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return scan;
    scan.length = st.st_size;
    Reader in(fd, scan.length);
    while (!in.atEnd()) {
        auto block = readBlock(in, scan.blocks);
        if (!block)
            break;
        scan.blocks.push_back(*block);
        scan.wholeUpTo = block->end;
        if (block->open)
            break; // what follows an open command is its torn tail
    }
    return scan;
}

std::string fullChangeId(std::uint64_t id)
{
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, id >>= 4)
        text[static_cast<std::size_t>(i)] = digits[id & 15];
    return text;
}

std::string changeId(std::uint64_t id) { return id == 0 ? std::string("-") : fullChangeId(id).substr(0, 8); }

std::optional<std::vector<TagSnapshot>> readCommand(int fd, const Scan& scan, std::size_t commandBlock, bool pathsOnly)
{
    const Block& command = scan.blocks[commandBlock];
    Reader in(fd, scan.length, command.start);
    std::vector<TagSnapshot> files;
    if (!in.line())
        return std::nullopt;
    for (std::size_t i = 0; i < command.count; ++i) {
        TagSnapshot file;
        if (!readFileEntry(in, command.withIds, &file, pathsOnly))
            return std::nullopt;
        files.push_back(std::move(file));
    }
    for (std::size_t b = commandBlock + 1; b < scan.blocks.size(); ++b) {
        const Block& marks = scan.blocks[b];
        const bool ours = (marks.kind == Block::Kind::NotWritten && command.withIds && marks.id == command.id)
            || (marks.kind == Block::Kind::Stamps && !command.withIds && marks.owner == commandBlock);
        if (!ours)
            continue;
        Reader markReader(fd, scan.length, marks.start);
        markReader.line();
        applyMarks(markReader, marks, files);
    }
    return files;
}

std::vector<std::size_t> commandBlocks(const Scan& scan)
{
    std::vector<std::size_t> commands;
    for (std::size_t b = 0; b < scan.blocks.size(); ++b) {
        if (scan.blocks[b].kind == Block::Kind::Command)
            commands.push_back(b);
    }
    return commands;
}

} // namespace zentrio::tagjournal
