#include "cli/queryargument.h"

#include "cli/output.h"
#include "platform/fs/filenames.h"

namespace zentrio::cli {

void addQueryOption(CLI::App& command, std::optional<std::string>& query)
{
    command
        .add_option("-q,--query", query,
            "only the files that match: terms separated by blanks must all hold, \",\" between terms means or "
            "(artist:a,artist:b year:1990..); field:text contains (any case or accent), field:=text exact, "
            "field::regex, field: empty, year:1990..1999 track:..9 disc:2.. numbers, -term not, a term without a "
            "field any of artist, album, song, albumartist; fields: "
            + queryFieldNames().join(", ").toStdString()
            + " (path and folder absolute); quote a value with blanks: artist:\"Pink Floyd\"")
        ->type_name("QUERY");
}

std::optional<std::shared_ptr<const Query>> readQuery(const std::optional<std::string>& text)
{
    if (!text)
        return std::shared_ptr<const Query>();
    ParsedQuery parsed = parseQuery(nameToText(*text));
    if (!parsed.ok()) {
        complain(queryErrorText(*parsed.error).toStdString());
        return std::nullopt;
    }
    return std::make_shared<const Query>(std::move(parsed.query));
}

std::string matchedText(std::size_t matched, std::size_t read)
{
    return "the query matched " + std::to_string(matched) + " of " + counted(read, "file") + " read";
}

} // namespace zentrio::cli
