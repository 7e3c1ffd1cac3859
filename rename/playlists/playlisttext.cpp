#include "rename/playlists/playlisttext.h"

#include <algorithm>
#include <vector>

namespace zentrio {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> partsOf(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    return parts;
}

bool isEntry(std::string_view line)
{
    const bool blank = std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
    return !blank && line.front() != '#' && line.find("://") == std::string_view::npos;
}

// The entry's new text, or nullopt when it names no moved file.
std::optional<std::string> movedEntry(std::string_view entry, const std::string& oldFolder,
    const std::string& newFolder, const std::unordered_map<std::string, std::string>& moved)
{
    const bool absolute = entry.front() == '/';
    const std::string named = plainPath(absolute ? std::string(entry) : oldFolder + '/' + std::string(entry));
    const auto found = moved.find(named);
    if (found == moved.end())
        return std::nullopt;
    return absolute ? found->second : relativePath(plainPath(newFolder), found->second);
}

} // namespace

bool isPlaylistName(std::string_view name)
{
    const auto endsWith = [&](std::string_view suffix) {
        return name.size() > suffix.size()
            && std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
    };
    return endsWith(".m3u") || endsWith(".m3u8");
}

std::string plainPath(std::string_view absolute)
{
    std::string plain;
    for (const std::string_view part : partsOf(absolute)) {
        plain += '/';
        plain += part;
    }
    return plain.empty() ? "/" : plain;
}

std::string relativePath(const std::string& folder, const std::string& target)
{
    const auto from = partsOf(folder);
    const auto to = partsOf(target);
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string relative;
    for (std::size_t k = common; k < from.size(); ++k)
        relative += "../";
    for (std::size_t k = common; k < to.size(); ++k) {
        relative += to[k];
        if (k + 1 < to.size())
            relative += '/';
    }
    return relative;
}

std::optional<std::string> rewritePlaylist(std::string_view text, const std::string& oldFolder,
    const std::string& newFolder, const std::unordered_map<std::string, std::string>& moved)
{
    std::string out;
    out.reserve(text.size());
    bool changed = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        std::string_view line = text.substr(start, end - start);
        const std::string_view lineEnd = text.substr(end, newline == std::string_view::npos ? 0 : 1);
        const bool crlf = line.ends_with('\r');
        if (crlf)
            line.remove_suffix(1);
        if (start == 0 && line.starts_with(kByteOrderMark)) {
            out += kByteOrderMark;
            line.remove_prefix(kByteOrderMark.size());
        }
        const auto rewritten = isEntry(line) ? movedEntry(line, oldFolder, newFolder, moved) : std::nullopt;
        out += rewritten ? std::string_view(*rewritten) : line;
        changed = changed || rewritten;
        if (crlf)
            out += '\r';
        out += lineEnd;
        start = end + 1;
    }
    if (!changed || out == text)
        return std::nullopt; // a folder moved whole keeps its relative entries
    return out;
}

} // namespace zentrio
