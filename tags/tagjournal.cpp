#include "tags/tagjournal.h"

#include "platform/fsops.h"
#include "platform/patchfile.h"
#include "rename/journal.h"
#include "tags/id3v2.h"
#include "tags/tagsave.h"
#include "tags/trailer.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zentrio {

namespace {

    using Commands = std::vector<std::vector<TagSnapshot>>;

    std::string formatCommand(const std::vector<TagSnapshot>& files)
    {
        std::string out = "command " + std::to_string(files.size()) + '\n';
        for (const TagSnapshot& f : files) {
            out += "file " + std::to_string(f.path.size()) + ' ' + std::to_string(f.length) + ' '
                + (f.record ? '1' : '0') + ' ' + (f.regionCaptured ? '1' : '0') + ' ' + std::to_string(f.region.size())
                + '\n' + f.path + f.record.value_or(std::string()) + f.region + '\n';
        }
        return out + "end\n";
    }

    std::string formatStamps(const std::vector<TagSnapshot>& files)
    {
        std::string out = "stamps " + std::to_string(files.size()) + '\n';
        for (const TagSnapshot& f : files) {
            const auto stamp = f.after.value_or(std::pair<std::int64_t, std::int64_t> { -1, -1 });
            out += std::to_string(stamp.first) + ' ' + std::to_string(stamp.second) + '\n';
        }
        return out;
    }

    std::string readBytes(std::istream& in, std::size_t count)
    {
        std::string bytes(count, '\0');
        if (count > (1u << 30) || !in.read(bytes.data(), static_cast<std::streamsize>(count)))
            throw std::runtime_error("short");
        return bytes;
    }

    std::vector<TagSnapshot> parseCommand(std::istream& in, std::size_t count)
    {
        std::vector<TagSnapshot> files;
        for (std::size_t i = 0; i < count; ++i) {
            std::string word;
            std::size_t pathSize = 0;
            int hasRecord = 0;
            int captured = 0;
            std::size_t regionSize = 0;
            TagSnapshot f;
            if (!(in >> word >> pathSize >> f.length >> hasRecord >> captured >> regionSize) || word != "file"
                || in.get() != '\n')
                throw std::runtime_error("file");
            f.path = readBytes(in, pathSize);
            if (hasRecord)
                f.record = readBytes(in, kRecordSize);
            f.regionCaptured = captured != 0;
            f.region = readBytes(in, regionSize);
            if (in.get() != '\n')
                throw std::runtime_error("file end");
            files.push_back(std::move(f));
        }
        std::string end;
        if (!(in >> end) || end != "end" || in.get() != '\n')
            throw std::runtime_error("end");
        return files;
    }

    Commands parseJournal(const std::string& text)
    {
        Commands commands;
        std::istringstream in(text);
        std::string word;
        std::size_t count = 0;
        while (in >> word >> count) {
            if (in.get() != '\n')
                throw std::runtime_error("line");
            if (word == "command") {
                commands.push_back(parseCommand(in, count));
            } else if (word == "stamps" && !commands.empty() && count == commands.back().size()) {
                for (TagSnapshot& f : commands.back()) {
                    std::int64_t size = 0;
                    std::int64_t time = 0;
                    if (!(in >> size >> time))
                        throw std::runtime_error("stamp");
                    if (size >= 0)
                        f.after = std::pair { size, time };
                }
                in.get();
            } else {
                throw std::runtime_error("word");
            }
        }
        return commands;
    }

    // The file's content with its old tags back: the old ID3v2 region in
    // place of the current one (where it was recorded), and the old record
    // in place of the record at the file's end (or none, where the command
    // appended one).
    std::string withOldTags(const std::string& content, const TagSnapshot& old)
    {
        const std::size_t region = old.regionCaptured ? std::min(id3v2RegionSize(content), content.size()) : 0;
        std::size_t end = content.size();
        if (content.size() > kWindowSize
            && findMarker(std::string_view(content).substr(content.size() - kWindowSize - 1, kWindowSize))
                == kStandardMarkerPosition)
            end -= kRecordSize;
        const std::string head = old.regionCaptured ? old.region : std::string();
        const std::size_t from = std::min(region, end);
        return head + content.substr(from, end - from) + old.record.value_or(std::string());
    }

    bool restore(const TagSnapshot& old)
    {
        const std::string path = linkTarget(old.path);
        const auto content = fs::readWholeFile(path);
        if (!content)
            return false;
        const std::string wanted = withOldTags(*content, old);
        if (wanted == *content)
            return true;
        const std::size_t region = old.regionCaptured ? id3v2RegionSize(*content) : 0;
        if (wanted.size() == content->size() && region == old.region.size()) {
            // Same layout: write the region and the record in place.
            std::vector<fs::Patch> patches;
            if (region > 0)
                patches.push_back({ 0, wanted.substr(0, region) });
            if (old.record)
                patches.push_back({ static_cast<std::int64_t>(wanted.size() - kRecordSize), *old.record });
            return fs::patchFile(path, patches, tagCopyFolder());
        }
        return !hasOtherLinks(path) && fs::replaceFileAtomically(path, wanted);
    }

} // namespace

std::optional<TagSnapshot> snapshotTags(const std::string& path, bool withRegion)
{
    const fs::FileReader file(path);
    const auto length = file.length();
    if (!file.isOpen() || length <= static_cast<std::int64_t>(kWindowSize))
        return std::nullopt;
    TagSnapshot snapshot { path, length, std::nullopt, withRegion, {}, std::nullopt };
    const auto window = file.readAt(length - static_cast<std::int64_t>(kWindowSize) - 1, kWindowSize);
    if (!window)
        return std::nullopt;
    if (findMarker(*window) == kStandardMarkerPosition)
        snapshot.record = file.readAt(length - kRecordSize, kRecordSize);
    if (withRegion) {
        const auto region = file.readAt(0, std::min<std::size_t>(id3v2RegionOf(file), static_cast<std::size_t>(length)));
        if (!region)
            return std::nullopt;
        snapshot.region = *region;
    }
    return snapshot;
}

std::optional<std::pair<std::int64_t, std::int64_t>> fileStamp(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return std::pair<std::int64_t, std::int64_t> { st.st_size,
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
}

TagJournal::TagJournal(std::string path)
    : m_path(std::move(path))
{
}

std::string defaultTagJournalPath() { return stateDirectory() + "/tagjournal"; }

bool TagJournal::record(const std::vector<TagSnapshot>& files) const
{
    const std::string folder = m_path.substr(0, m_path.rfind('/'));
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
    if (::access(m_path.c_str(), F_OK) != 0)
        fs::replaceFileAtomically(m_path, {});
    if (!fs::appendAndSync(m_path, formatCommand(files)))
        return false;
    trim();
    return true;
}

// Drops the oldest commands once the journal holds half as many again as
// it keeps, or more bytes than it keeps: a trim copies the newest commands'
// bytes as they stand, found by stepping over the tag bytes, so a journal
// is rewritten once in ten commands, not at every one.
void TagJournal::trim() const
{
    std::ifstream in(m_path, std::ios::binary);
    std::vector<std::streamoff> starts;
    std::string word;
    std::size_t count = 0;
    for (std::streamoff at = in.tellg(); in >> word >> count && in.get() == '\n'; at = in.tellg()) {
        if (word == "command")
            starts.push_back(at);
        for (std::size_t i = 0; i < count; ++i) {
            std::string line;
            std::getline(in, line);
            std::istringstream fields(line);
            std::string file;
            std::size_t pathSize = 0;
            std::int64_t length = 0;
            int hasRecord = 0;
            int captured = 0;
            std::size_t regionSize = 0;
            if (word == "command" && fields >> file >> pathSize >> length >> hasRecord >> captured >> regionSize)
                in.seekg(static_cast<std::streamoff>(pathSize + (hasRecord ? kRecordSize : 0) + regionSize + 1), std::ios::cur);
        }
        if (word == "command")
            std::getline(in, word); // "end"
    }
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    std::size_t first = starts.size() > kTagJournalCommands * 3 / 2 ? starts.size() - kTagJournalCommands : 0;
    while (first + 1 < starts.size() && static_cast<std::size_t>(size - starts[first]) > kTagJournalBytes)
        ++first;
    if (first == 0)
        return;
    std::string newest(static_cast<std::size_t>(size - starts[first]), '\0');
    in.seekg(starts[first]);
    if (in.read(newest.data(), static_cast<std::streamsize>(newest.size())))
        fs::replaceFileAtomically(m_path, newest);
}

void TagJournal::stampNewest(const std::vector<std::string>& paths) const
{
    std::vector<TagSnapshot> stamped;
    for (const std::string& path : paths) {
        TagSnapshot f;
        f.after = fileStamp(path);
        stamped.push_back(std::move(f));
    }
    fs::appendAndSync(m_path, formatStamps(stamped));
}

std::optional<std::vector<std::vector<TagSnapshot>>> TagJournal::load() const
{
    const auto text = fs::readWholeFile(m_path);
    if (!text)
        return Commands {};
    try {
        return parseJournal(*text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void TagJournal::save(const std::vector<std::vector<TagSnapshot>>& commands) const
{
    std::string text;
    for (const auto& command : commands) {
        text += formatCommand(command);
        if (std::any_of(command.begin(), command.end(), [](const TagSnapshot& f) { return f.after.has_value(); }))
            text += formatStamps(command);
    }
    fs::replaceFileAtomically(m_path, text);
}

std::optional<TagUndoOutcome> TagJournal::undoNewest() const
{
    auto commands = load();
    if (!commands) {
        // Set aside, so that the next command begins a new journal.
        const std::string aside = m_path + ".damaged-" + std::to_string(::time(nullptr));
        ::rename(m_path.c_str(), aside.c_str());
        return std::nullopt;
    }
    TagUndoOutcome outcome;
    if (commands->empty())
        return outcome;
    for (const TagSnapshot& old : commands->back()) {
        const bool changedSince = old.after && fileStamp(old.path) != old.after;
        if (!changedSince && restore(old))
            ++outcome.restored;
        else
            ++outcome.skipped;
    }
    commands->pop_back();
    save(*commands);
    return outcome;
}

} // namespace zentrio
