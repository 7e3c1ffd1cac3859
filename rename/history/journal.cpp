#include "rename/history/journal.h"

#include "platform/fs/setaside.h"

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace zentrio {

namespace {

    constexpr std::string_view kHeader = "zentrio rename journal 1";

    std::string hex(std::string_view bytes)
    {
        static constexpr char digits[] = "0123456789abcdef";
        std::string out;
        out.reserve(bytes.size() * 2);
        for (const unsigned char c : bytes) {
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
        return out;
    }

    std::optional<std::string> unhex(std::string_view text)
    {
        if (text.size() % 2 != 0)
            return std::nullopt;
        auto value = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        std::string out;
        out.reserve(text.size() / 2);
        for (std::size_t i = 0; i < text.size(); i += 2) {
            const int high = value(text[i]);
            const int low = value(text[i + 1]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
        }
        return out;
    }

    void makeFolders(const std::string& path)
    {
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), 0700);
    }

    void keepNewest(std::vector<JournalRecord>& records)
    {
        if (records.size() > kJournalRecords)
            records.erase(records.begin(), records.end() - static_cast<std::ptrdiff_t>(kJournalRecords));
    }

} // namespace

std::string defaultJournalPath() { return stateDirectory() + "/journal"; }

std::string formatRecord(const JournalRecord& record)
{
    std::string out = "record " + hex(record.folder) + ' ' + (record.inodesIdentify ? '1' : '0') + ' '
        + std::to_string(record.renames.size()) + '\n';
    for (const PlannedRename& r : record.renames) {
        out += "rename " + hex(r.oldName) + ' ' + hex(r.newName) + ' ' + std::to_string(r.identity.device) + ' '
            + std::to_string(r.identity.inode) + ' ' + std::to_string(r.identity.size) + ' '
            + std::to_string(r.identity.birth) + '\n';
    }
    return out + "end\n";
}

std::string formatJournal(const std::vector<JournalRecord>& records)
{
    std::string out = std::string(kHeader) + '\n';
    for (const JournalRecord& record : records)
        out += formatRecord(record);
    return out;
}

namespace {

    std::optional<JournalRecord> parseRecordLine(const std::string& line, std::size_t& count)
    {
        std::istringstream fields(line);
        std::string word, folder;
        int inodes = -1;
        if (!(fields >> word >> folder >> inodes >> count) || word != "record" || (inodes != 0 && inodes != 1))
            return std::nullopt;
        auto folderBytes = unhex(folder);
        if (!folderBytes)
            return std::nullopt;
        return JournalRecord { std::move(*folderBytes), inodes == 1, {} };
    }

    std::optional<PlannedRename> parseRenameLine(const std::string& line)
    {
        std::istringstream fields(line);
        std::string word, oldHex, newHex;
        PlannedRename r;
        if (!(fields >> word >> oldHex >> newHex >> r.identity.device >> r.identity.inode >> r.identity.size
                >> r.identity.birth)
            || word != "rename")
            return std::nullopt;
        auto oldName = unhex(oldHex);
        auto newName = unhex(newHex);
        if (!oldName || !newName || oldName->empty() || newName->empty())
            return std::nullopt;
        r.oldName = std::move(*oldName);
        r.newName = std::move(*newName);
        return r;
    }

} // namespace

ParsedJournal parseJournal(std::string_view text)
{
    ParsedJournal parsed;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            break; // a last line without its line end: an append cut short
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || lines.front() != kHeader) {
        parsed.damaged = true;
        return parsed;
    }
    // Each record is "record", its renames, then "end". A record that does
    // not parse is dropped and counted as damage; one cut short at the end
    // of the file was never finished, so its run never began.
    std::size_t i = 1;
    while (i < lines.size()) {
        std::size_t count = 0;
        auto record = parseRecordLine(lines[i], count);
        bool whole = record.has_value();
        std::size_t next = i + 1;
        for (std::size_t k = 0; whole && k < count; ++k, ++next) {
            auto rename = next < lines.size() ? parseRenameLine(lines[next]) : std::nullopt;
            if (next >= lines.size())
                return parsed; // cut short
            if (!rename)
                whole = false;
            else
                record->renames.push_back(std::move(*rename));
        }
        if (whole && next >= lines.size())
            return parsed; // cut short before its "end"
        if (whole && lines[next] == "end") {
            parsed.records.push_back(std::move(*record));
            i = next + 1;
            continue;
        }
        parsed.damaged = true;
        while (i < lines.size() && lines[i] != "end") // on to the next record
            ++i;
        ++i;
    }
    return parsed;
}

RenameJournal::RenameJournal(std::string path)
    : m_path(std::move(path))
{
}

RenameJournal::Contents RenameJournal::load() const
{
    const auto text = fs::readWholeFile(m_path);
    if (!text) {
        struct stat st {};
        const bool missing = ::lstat(m_path.c_str(), &st) != 0;
        return { missing ? State::Empty : State::Damaged, {} };
    }
    ParsedJournal parsed = parseJournal(*text);
    auto& records = parsed.records;
    keepNewest(records);
    if (parsed.damaged)
        return { State::Damaged, std::move(records) };
    return { records.empty() ? State::Empty : State::Loaded, std::move(records) };
}

bool RenameJournal::repair(const Contents& contents) const
{
    return fs::setAsideDamaged(m_path) && write(contents.records);
}

bool RenameJournal::replaceNewest(const std::optional<JournalRecord>& remaining) const
{
    Contents contents = load();
    if (contents.records.empty())
        return false;
    contents.records.pop_back();
    if (remaining && !remaining->renames.empty())
        contents.records.push_back(*remaining);
    return write(contents.records);
}

bool RenameJournal::write(const std::vector<JournalRecord>& records) const
{
    makeFolders(m_path);
    return fs::replaceFileAtomically(m_path, formatJournal(records));
}

} // namespace zentrio
