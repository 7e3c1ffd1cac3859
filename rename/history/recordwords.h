#pragma once

#include "rename/history/journalrecord.h"

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

// The words of a run's record that its writer and its reader share: the
// first line, how a line splits into words, and the words of the kinds,
// origins and ends of runs.
namespace zentrio::recordwords {

constexpr std::string_view kHeader = "zentrio rename run 1";

inline std::vector<std::string_view> wordsOf(std::string_view line)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start <= line.size();) {
        const std::size_t space = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, space - start));
        start = space + 1;
    }
    return words;
}

template <typename Number> std::optional<Number> numberOf(std::string_view text)
{
    Number value {};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

inline const char* kindWord(RunKind kind)
{
    return kind == RunKind::Folder ? "folder" : "moves";
}
inline const char* originWord(RunOrigin origin)
{
    return origin == RunOrigin::Window ? "window" : "cli";
}
inline const char* endWord(RunEnd end)
{
    switch (end) {
    case RunEnd::Completed:
        return "completed";
    case RunEnd::Failed:
        return "failed";
    case RunEnd::Interrupted:
        break;
    }
    return "interrupted";
}

} // namespace zentrio::recordwords
