#include "tags/query/queryparse.h"

#include "rename/naming/pattern.h"

#include <utility>

namespace zentrio {

namespace {

    // A query field by the pattern language's name of it, so that
    // "{albumartist}" and "albumartist:" name one field.
    std::optional<QueryField> queryFieldOf(PatternField field)
    {
        switch (field) {
        case PatternField::Song: return QueryField::Song;
        case PatternField::Artist: return QueryField::Artist;
        case PatternField::Album: return QueryField::Album;
        case PatternField::Track: return QueryField::Track;
        case PatternField::Tracks: return QueryField::Tracks;
        case PatternField::Disc: return QueryField::Disc;
        case PatternField::Discs: return QueryField::Discs;
        case PatternField::Year: return QueryField::Year;
        case PatternField::Genre: return QueryField::Genre;
        case PatternField::AlbumArtist: return QueryField::AlbumArtist;
        case PatternField::Path: return QueryField::Path;
        case PatternField::Name: return QueryField::Name;
        case PatternField::Folder: return QueryField::Folder;
        case PatternField::Extension: return QueryField::Extension;
        case PatternField::Number: // a run's number and its separator are no file's
        case PatternField::Separator:
        case PatternField::Ignore:
            break;
        }
        return std::nullopt;
    }

    std::vector<std::pair<QString, QueryField>> knownFields()
    {
        std::vector<std::pair<QString, QueryField>> fields;
        for (const PatternFieldName& name : patternFieldNames(PatternUse::Listing)) {
            if (const auto field = queryFieldOf(name.field))
                fields.emplace_back(QLatin1String(name.name), *field);
        }
        fields.emplace_back(QStringLiteral("format"), QueryField::Format);
        return fields;
    }

} // namespace

bool isNumberQueryField(QueryField field)
{
    return field == QueryField::Track || field == QueryField::Tracks || field == QueryField::Disc
        || field == QueryField::Discs || field == QueryField::Year;
}

std::optional<QueryField> queryFieldNamed(const QString& name)
{
    static const auto fields = knownFields();
    for (const auto& [known, field] : fields) {
        if (name.compare(known, Qt::CaseInsensitive) == 0)
            return field;
    }
    return std::nullopt;
}

QStringList queryFieldNames()
{
    QStringList names;
    for (const auto& [name, field] : knownFields())
        names << name;
    return names;
}

} // namespace zentrio
