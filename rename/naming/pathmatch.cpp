#include "rename/naming/pathmatch.h"

#include "platform/fs/filenames.h"
#include "tags/read/cp1252.h"

namespace zentrio {

namespace {

    // The text of a folder's name: UTF-8 where it is valid, else code page 1252.
    QString nameText(std::string_view name)
    {
        const QByteArrayView bytes(name.data(), static_cast<qsizetype>(name.size()));
        return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : decodeCp1252(name);
    }

} // namespace

PathPattern parsePathPattern(const QString& text)
{
    PathPattern pattern;
    for (const auto& [start, end] : slashParts(text)) {
        const QString part = text.mid(start, end - start);
        const bool atAnEnd = start == 0 || end == text.size(); // a "/" before or after the pattern is no part
        if (part.isEmpty() && !atAnEnd && !pattern.error)
            pattern.error = PatternError { PatternError::Reason::EmptyPart, start };
        if (!part.isEmpty() && !pattern.error) {
            ParsedPattern parsed = parsePattern(part, PatternUse::Matching);
            if (parsed.error) {
                pattern.error = parsed.error;
                pattern.error->position += start;
            } else {
                pattern.components.push_back(std::move(parsed.parts));
            }
        }
    }
    if (pattern.error)
        pattern.components.clear();
    return pattern;
}

std::optional<TagValues> valuesFromPath(const PathPattern& pattern, std::string_view path, bool underscoreIsBlank)
{
    if (!pattern.ok())
        return std::nullopt;
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start)
            names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    if (names.size() < pattern.components.size())
        return std::nullopt; // fewer folders than the pattern asks for
    names.erase(names.begin(), names.end() - static_cast<std::ptrdiff_t>(pattern.components.size()));
    TagValues values;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const bool fileName = k + 1 == names.size();
        const auto fields = fileName ? matchFileName(pattern.components[k], names[k], underscoreIsBlank)
                                     : matchPattern(pattern.components[k], nameText(names[k]), underscoreIsBlank);
        if (!fields)
            return std::nullopt;
        for (const auto& [field, value] : *fields) {
            if (const auto tagField = tagFieldOf(field))
                values[*tagField] = value;
        }
    }
    return values;
}

std::optional<TagField> tagFieldOf(PatternField field)
{
    switch (field) {
    case PatternField::Song:
        return TagField::Song;
    case PatternField::Artist:
        return TagField::Artist;
    case PatternField::Album:
        return TagField::Album;
    case PatternField::Track:
        return TagField::Track;
    case PatternField::Disc:
        return TagField::Disc;
    case PatternField::Year:
        return TagField::Year;
    case PatternField::Genre:
        return TagField::Genre;
    case PatternField::AlbumArtist:
        return TagField::AlbumArtist;
    default:
        return std::nullopt; // matched, but no tag field: {n}, {tracks}, {discs}, {ignore}
    }
}

} // namespace zentrio
