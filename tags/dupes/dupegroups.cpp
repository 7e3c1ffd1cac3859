#include "tags/dupes/dupegroups.h"

#include <algorithm>
#include <unordered_map>

namespace zentrio {

std::vector<std::size_t> sharedLengths(const std::vector<std::int64_t>& lengths)
{
    std::unordered_map<std::int64_t, std::size_t> seen;
    for (const std::int64_t length : lengths) {
        if (length >= 0)
            ++seen[length];
    }
    std::vector<std::size_t> shared;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i] >= 0 && seen[lengths[i]] > 1)
            shared.push_back(i);
    }
    return shared;
}

std::string audioKey(AudioFormat format, const AudioSpan& span, std::uint64_t digest)
{
    return std::to_string(int(format)) + ':' + std::to_string(span.length()) + ':' + std::to_string(digest) + ':'
        + span.described;
}

std::optional<std::string> tagKey(const TagFields& tag)
{
    const auto part = [](const QString& field) { return trimSpaces(field).toCaseFolded().toStdString(); };
    const std::string artist = part(tag.artist);
    const std::string song = part(tag.song);
    if (artist.empty() || song.empty())
        return std::nullopt;
    // A NUL never stands in a field: the three stay apart.
    return artist + '\0' + part(tag.album) + '\0' + song;
}

std::vector<std::vector<std::size_t>> groupsByKey(const std::vector<std::optional<std::string>>& keys)
{
    std::unordered_map<std::string_view, std::vector<std::size_t>> byKey;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i])
            byKey[*keys[i]].push_back(i);
    }
    std::vector<std::vector<std::size_t>> groups;
    for (auto& [key, members] : byKey) {
        if (members.size() > 1)
            groups.push_back(std::move(members));
    }
    std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        return a.size() != b.size() ? a.size() > b.size() : a.front() < b.front();
    });
    return groups;
}

} // namespace zentrio
