#include "cli/listrecord.h"

#include "cli/output.h"
#include "tags/read/audiofile.h"
#include "platform/fs/filenames.h"

#include <QJsonDocument>
#include <array>
#include <QJsonObject>

namespace zentrio::cli {

namespace {

const char* const kColumns[] = { "path", "artist", "album", "song", "track", "disc", "year", "genre", "albumartist" };

std::array<const QString*, 8> columnsOf(const TagFields& tag)
{
    return { &tag.artist, &tag.album, &tag.song, &tag.track, &tag.disc, &tag.year, &tag.genre, &tag.albumArtist };
}

QJsonObject jsonOf(const std::string& path, const TagFields& tag)
{
    QJsonObject object;
    putPath(object, "path", path);
    if (const auto format = audioFormatOf(path))
        object.insert("format", QLatin1String(formatName(*format)));
    object.insert("tagged", tag.found);
    const std::vector<std::pair<const char*, const QString*>> fields { { "song", &tag.song }, { "artist", &tag.artist },
        { "album", &tag.album }, { "track", &tag.track }, { "tracks", &tag.tracks }, { "disc", &tag.disc },
        { "discs", &tag.discs }, { "year", &tag.year }, { "genre", &tag.genre }, { "albumartist", &tag.albumArtist } };
    for (const auto& [key, value] : fields)
        object.insert(QLatin1String(key), *value);
    return object;
}

// A file's place for {path}, {name}, {folder} and {ext}, each in `form`.
ListedPlace placeOf(const std::string& shown, PathForm form)
{
    const std::string name = baseOf(shown);
    const auto dot = name.rfind('.');
    const auto text = [form](const std::string& bytes) { return nameToText(pathText(bytes, form)); };
    return { text(shown), text(name), text(parentOf(shown)),
        text(dot == std::string::npos ? std::string() : name.substr(dot + 1)) };
}

// A file's record in the listing's text format: by the pattern, the path
// alone, or the path and the fields tab-separated. A path goes byte for
// byte into a NUL-ended record off a terminal, and into a line with its
// control characters as blanks (in the tab-separated columns always).
std::string textRecord(const ListFormat& format, const std::string& shown, const TagFields& tag,
    const PatternContext& context)
{
    const PathForm form = recordForm(format.nul ? PathForm::AsIs : PathForm::OneLine);
    if (format.pattern) {
        const ListedPlace place = placeOf(shown, form);
        PatternContext withPlace = context;
        withPlace.place = &place;
        return textToName(formatPattern(format.pattern->parts, tag, withPlace));
    }
    if (format.pathsOnly)
        return pathText(shown, form);
    std::string line = pathText(shown, recordForm(PathForm::OneLine));
    for (const QString* value : columnsOf(tag)) {
        line += '\t';
        appendFieldText(line, *value);
    }
    return line;
}

} // namespace

std::string listHeader()
{
    std::string header;
    for (const char* column : kColumns)
        header += std::string(header.empty() ? "" : "\t") + column;
    return header;
}

std::string listRecord(const ListFormat& format, const std::string& path, const std::string& shown,
    const TagFields& tag, const PatternContext& context)
{
    if (!format.json)
        return textRecord(format, shown, tag, context);
    return QJsonDocument(jsonOf(path, tag)).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace zentrio::cli
