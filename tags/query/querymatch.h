#pragma once

#include "tags/query/queryparse.h"
#include "tags/read/trailer.h"

#include <QString>

#include <string_view>

// A file tested against a query by its fields and where it lies.
namespace zentrio {

// The text as "contains" compares it: decomposed, the combining marks
// dropped, case-folded ("Motörhead" as "motorhead").
QString foldedText(const QString& text);

// The number a field holds: its leading digits ("07" is 7, "1994-05-01"
// 1994); nullopt when it begins with none.
std::optional<std::int64_t> leadingNumber(const QString& text);

// True when every term of the query holds for the file at `path` (absolute,
// as the walk reached it) with these fields. Safe on several threads at once.
bool matchesQuery(const Query& query, const TagFields& tag, std::string_view path);

// True when where the file lies makes the query fail whatever its tags
// hold ("format:flac" for an MP3 file): a file that cannot be read is then
// left out rather than said to have failed.
bool placeRulesOut(const Query& query, std::string_view path);

// How many of the files a command read its query matched.
struct QueryTally {
    std::size_t read = 0;
    std::size_t matched = 0;
};

} // namespace zentrio
