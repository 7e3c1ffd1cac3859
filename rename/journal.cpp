#include "rename/journal.h"

#include <cstdlib>
#include <ctime>
#include <sstream>
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

    std::string stateDirectory()
    {
        if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
            return std::string(state) + "/zentrio";
        const char* home = std::getenv("HOME");
        return std::string(home && *home ? home : "/tmp") + "/.local/state/zentrio";
    }

    void makeFolders(const std::string& path)
    {
        for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), 0700);
    }

} // namespace

std::string defaultJournalPath() { return stateDirectory() + "/journal"; }

std::string formatJournal(const std::vector<JournalRecord>& records)
{
    std::ostringstream out;
    out << kHeader << '\n';
    for (const JournalRecord& record : records) {
        out << "record " << hex(record.folder) << ' ' << (record.inodesIdentify ? 1 : 0) << ' ' << record.renames.size()
            << '\n';
        for (const PlannedRename& r : record.renames) {
            out << "rename " << hex(r.oldName) << ' ' << hex(r.newName) << ' ' << r.identity.device << ' '
                << r.identity.inode << ' ' << r.identity.size << ' ' << r.identity.birth << '\n';
        }
    }
    return out.str();
}

std::optional<std::vector<JournalRecord>> parseJournal(std::string_view text)
{
    std::istringstream in { std::string(text) };
    std::string line;
    if (!std::getline(in, line) || line != kHeader)
        return std::nullopt;
    std::vector<JournalRecord> records;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string word, folder;
        int inodes = -1;
        std::size_t count = 0;
        if (!(fields >> word >> folder >> inodes >> count) || word != "record" || (inodes != 0 && inodes != 1))
            return std::nullopt;
        JournalRecord record;
        const auto folderBytes = unhex(folder);
        if (!folderBytes)
            return std::nullopt;
        record.folder = *folderBytes;
        record.inodesIdentify = inodes == 1;
        for (std::size_t i = 0; i < count; ++i) {
            std::string oldHex, newHex;
            PlannedRename r;
            if (!std::getline(in, line))
                return std::nullopt;
            std::istringstream pair(line);
            if (!(pair >> word >> oldHex >> newHex >> r.identity.device >> r.identity.inode >> r.identity.size
                    >> r.identity.birth)
                || word != "rename")
                return std::nullopt;
            auto oldName = unhex(oldHex);
            auto newName = unhex(newHex);
            if (!oldName || !newName || oldName->empty() || newName->empty())
                return std::nullopt;
            r.oldName = std::move(*oldName);
            r.newName = std::move(*newName);
            record.renames.push_back(std::move(r));
        }
        records.push_back(std::move(record));
    }
    return records;
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
    auto records = parseJournal(*text);
    if (!records)
        return { State::Damaged, {} };
    return { records->empty() ? State::Empty : State::Loaded, std::move(*records) };
}

bool RenameJournal::add(const JournalRecord& record) const
{
    Contents contents = load();
    if (contents.state == State::Damaged && !setAside())
        return false;
    contents.records.push_back(record);
    if (contents.records.size() > kJournalRecords)
        contents.records.erase(contents.records.begin(),
            contents.records.end() - static_cast<std::ptrdiff_t>(kJournalRecords));
    return write(contents.records);
}

// Renames a damaged journal to journal.damaged-TIME[-N], never over another.
bool RenameJournal::setAside() const
{
    const std::string stem = m_path + ".damaged-" + std::to_string(std::time(nullptr));
    for (int n = 0; n < 100; ++n) {
        const std::string aside = n == 0 ? stem : stem + "-" + std::to_string(n);
        const auto result = fs::renameNoReplace(m_path, aside);
        if (result != fs::RenameResult::TargetExists)
            return result == fs::RenameResult::Renamed;
    }
    return false;
}

bool RenameJournal::replaceNewest(const std::optional<JournalRecord>& remaining) const
{
    Contents contents = load();
    if (contents.state != State::Loaded)
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
