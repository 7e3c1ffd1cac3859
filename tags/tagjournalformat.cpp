#include "tags/tagjournalformat.h"

#include "platform/digest.h"
#include "platform/posixio.h"
#include "tags/taglayout.h"

#include <charconv>
#include <set>
#include <sys/stat.h>

namespace zentrio::tagjournal {

namespace {

    constexpr std::size_t kLongestLine = 256;
    constexpr std::int64_t kStampNotWritten = -2;

    // Reads a journal file line by line and skips over tag bytes, through
    // a buffer, so that only what is asked for is read.
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
            std::size_t done = 0;
            while (done < out.size()) {
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

    // A line's words: the first as text, the others as numbers.
    struct Words {
        std::string first;
        std::vector<std::string> rest;
        bool number(std::size_t i, std::int64_t& value) const
        {
            if (i >= rest.size())
                return false;
            const auto [end, error] = std::from_chars(rest[i].data(), rest[i].data() + rest[i].size(), value);
            return error == std::errc() && end == rest[i].data() + rest[i].size();
        }
        bool unsignedNumber(std::size_t i, std::uint64_t& value) const
        {
            if (i >= rest.size())
                return false;
            const auto [end, error] = std::from_chars(rest[i].data(), rest[i].data() + rest[i].size(), value);
            return error == std::errc() && end == rest[i].data() + rest[i].size();
        }
    };

    Words split(const std::string& line)
    {
        Words words;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= line.size(); ++i) {
            if (i == line.size() || line[i] == ' ') {
                std::string word = line.substr(start, i - start);
                if (!word.empty() && words.first.empty() && words.rest.empty())
                    words.first = std::move(word);
                else if (!word.empty())
                    words.rest.push_back(std::move(word));
                start = i + 1;
            }
        }
        return words;
    }

    bool readPiece(Reader& in, OldPiece* piece)
    {
        const auto line = in.line();
        if (!line)
            return false;
        const Words w = split(*line);
        std::int64_t a = 0;
        std::int64_t b = 0;
        if (w.first != "piece" || w.rest.empty())
            return false;
        if (w.rest[0] == "b" && w.number(1, a) && w.rest.size() == 2) {
            auto bytes = in.bytes(a);
            if (!bytes || in.line() != std::string())
                return false;
            if (piece)
                *piece = { OldPiece::Kind::Bytes, std::move(*bytes) };
            return true;
        }
        if (w.rest[0] == "z" && w.number(1, a) && a >= 0 && w.rest.size() == 2) {
            if (piece)
                *piece = { OldPiece::Kind::Zeros, {}, 0, static_cast<std::size_t>(a) };
            return true;
        }
        std::uint64_t digest = 0;
        if (w.rest[0] == "m" && w.number(1, a) && w.number(2, b) && a >= 0 && b >= 0 && w.rest.size() == 4
            && parseDigestText(w.rest[3], digest)) {
            if (piece)
                *piece = { OldPiece::Kind::Moved, {}, static_cast<std::size_t>(a), static_cast<std::size_t>(b), digest };
            return true;
        }
        return false;
    }

    // One file of a command; its bytes only when `file` is given.
    bool readFileEntry(Reader& in, bool withIds, TagSnapshot* file)
    {
        const auto line = in.line();
        if (!line)
            return false;
        const Words w = split(*line);
        std::int64_t n[6] = {};
        const std::size_t numbers = withIds ? 6 : 5;
        if (w.first != "file" || w.rest.size() != numbers)
            return false;
        for (std::size_t i = 0; i < numbers; ++i) {
            if (!w.number(i, n[i]) || n[i] < 0)
                return false;
        }
        const std::int64_t recordBytes = n[2] ? kRecordSize : 0;
        if (!file) {
            if (!in.skip(n[0] + recordBytes + n[4]) || in.line() != std::string())
                return false;
        } else {
            auto path = in.bytes(n[0]);
            auto record = in.bytes(recordBytes);
            auto region = in.bytes(n[4]);
            if (!path || !record || !region || in.line() != std::string())
                return false;
            file->path = std::move(*path);
            file->length = n[1];
            if (n[2])
                file->record = std::move(*record);
            file->regionCaptured = n[3] != 0;
            file->region = std::move(*region);
        }
        for (std::int64_t p = 0; p < (withIds ? n[5] : 0); ++p) {
            OldPiece piece;
            if (!readPiece(in, file ? &piece : nullptr))
                return false;
            if (file)
                file->pieces.push_back(std::move(piece));
        }
        return true;
    }

    // The command's files from `in` (positioned after its first line), up to its end line.
    bool readCommandBody(Reader& in, const Block& block, std::vector<TagSnapshot>* files)
    {
        for (std::size_t i = 0; i < block.count; ++i) {
            TagSnapshot file;
            if (!readFileEntry(in, block.withIds, files ? &file : nullptr))
                return false;
            if (files)
                files->push_back(std::move(file));
        }
        const auto end = in.line();
        return end && *end == (block.withIds ? "end " + std::to_string(block.id) : std::string("end"));
    }

    std::optional<Block> readBlock(Reader& in, const std::vector<Block>& before)
    {
        Block block;
        block.start = in.at();
        const auto line = in.line();
        if (!line)
            return std::nullopt;
        const Words w = split(*line);
        std::int64_t count = 0;
        block.withIds = w.first.starts_with("tag");
        if (block.withIds && !w.unsignedNumber(0, block.id))
            return std::nullopt;
        if (w.first == "tagcancel" && w.rest.size() == 1) {
            block.kind = Block::Kind::Cancel;
        } else if ((w.first == "tagcommand" && w.rest.size() == 2 && w.number(1, count))
            || (w.first == "command" && w.rest.size() == 1 && w.number(0, count))) {
            block.count = static_cast<std::size_t>(count);
            if (count < 0 || !readCommandBody(in, block, nullptr))
                return std::nullopt;
        } else if ((w.first == "tagstamps" && w.rest.size() == 2 && w.number(1, count))
            || (w.first == "stamps" && w.rest.size() == 1 && w.number(0, count) && !before.empty()
                && before.back().kind == Block::Kind::Command)) {
            block.kind = Block::Kind::Stamps;
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

    bool toNumber(const std::string& text, std::int64_t& value)
    {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size();
    }

    void applyStamps(Reader& in, const Block& block, std::vector<TagSnapshot>& files)
    {
        for (std::size_t i = 0; i < block.count; ++i) {
            const Words w = split(in.line().value_or(std::string()));
            std::int64_t index = static_cast<std::int64_t>(i);
            std::int64_t size = -1;
            std::int64_t time = -1;
            const bool read = block.withIds
                ? w.rest.size() == 2 && toNumber(w.first, index) && w.number(0, size) && w.number(1, time)
                : w.rest.size() == 1 && toNumber(w.first, size) && w.number(0, time);
            if (!read || index < 0 || static_cast<std::size_t>(index) >= files.size())
                continue;
            TagSnapshot& file = files[static_cast<std::size_t>(index)];
            if (size == kStampNotWritten)
                file.notWritten = true;
            else if (size >= 0)
                file.after = FileStamp { size, time };
        }
    }

} // namespace

std::string formatCommandStart(std::uint64_t id, std::size_t count)
{
    return "tagcommand " + std::to_string(id) + ' ' + std::to_string(count) + '\n';
}

std::string formatFile(const TagSnapshot& f)
{
    std::string out = "file " + std::to_string(f.path.size()) + ' ' + std::to_string(f.length) + ' '
        + (f.record ? '1' : '0') + ' ' + (f.regionCaptured ? '1' : '0') + ' ' + std::to_string(f.region.size()) + ' '
        + std::to_string(f.pieces.size()) + '\n' + f.path + f.record.value_or(std::string()) + f.region + '\n';
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

std::string formatCommandEnd(std::uint64_t id) { return "end " + std::to_string(id) + '\n'; }

std::string formatStamps(std::uint64_t id, const std::vector<std::pair<std::size_t, std::optional<FileStamp>>>& after)
{
    std::string out = "tagstamps " + std::to_string(id) + ' ' + std::to_string(after.size()) + '\n';
    for (const auto& [index, stamp] : after) {
        const FileStamp written = stamp.value_or(FileStamp { kStampNotWritten, kStampNotWritten });
        out += std::to_string(index) + ' ' + std::to_string(written.first) + ' ' + std::to_string(written.second) + '\n';
    }
    return out;
}

std::string formatCancel(std::uint64_t id) { return "tagcancel " + std::to_string(id) + '\n'; }

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
    }
    return scan;
}

std::optional<std::vector<TagSnapshot>> readCommand(int fd, const Scan& scan, std::size_t commandBlock)
{
    const Block& command = scan.blocks[commandBlock];
    Reader in(fd, scan.length, command.start);
    std::vector<TagSnapshot> files;
    if (!in.line() || !readCommandBody(in, command, &files))
        return std::nullopt;
    for (std::size_t b = commandBlock + 1; b < scan.blocks.size(); ++b) {
        const Block& stamps = scan.blocks[b];
        const bool ours = stamps.kind == Block::Kind::Stamps
            && (command.withIds ? stamps.withIds && stamps.id == command.id : !stamps.withIds && stamps.owner == commandBlock);
        if (!ours)
            continue;
        Reader stampReader(fd, scan.length, stamps.start);
        stampReader.line();
        applyStamps(stampReader, stamps, files);
    }
    return files;
}

std::vector<std::size_t> liveCommands(const Scan& scan)
{
    std::set<std::uint64_t> cancelled;
    for (const Block& block : scan.blocks) {
        if (block.kind == Block::Kind::Cancel)
            cancelled.insert(block.id);
    }
    std::vector<std::size_t> live;
    for (std::size_t b = 0; b < scan.blocks.size(); ++b) {
        const Block& block = scan.blocks[b];
        if (block.kind == Block::Kind::Command && (!block.withIds || !cancelled.contains(block.id)))
            live.push_back(b);
    }
    return live;
}

} // namespace zentrio::tagjournal
