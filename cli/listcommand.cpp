#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "platform/filenames.h"
#include "rename/treewalk.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace zentrio::cli {

namespace {

struct ListOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    bool id3v1 = false;
    std::string format;
    bool pathsOnly = false;
    bool nul = false;
    bool json = false;
};

const char* const kColumns[] = { "path", "artist", "album", "song", "track", "disc", "year", "genre", "albumartist" };

std::vector<QString> columnsOf(const TagFields& tag)
{
    return { tag.artist, tag.album, tag.song, tag.track, tag.disc, tag.year, tag.genre, tag.albumArtist };
}

QJsonObject jsonOf(const std::string& path, const TagFields& tag)
{
    QJsonObject object;
    putPath(object, "path", path);
    object.insert("tagged", tag.found);
    const std::vector<std::pair<const char*, const QString*>> fields { { "song", &tag.song }, { "artist", &tag.artist },
        { "album", &tag.album }, { "track", &tag.track }, { "tracks", &tag.tracks }, { "disc", &tag.disc },
        { "discs", &tag.discs }, { "year", &tag.year }, { "genre", &tag.genre }, { "albumartist", &tag.albumArtist } };
    for (const auto& [key, value] : fields)
        object.insert(QLatin1String(key), *value);
    return object;
}

// A folder's records, made on the pool, and the files that could not be read.
struct FolderOutput {
    std::string records;
    std::vector<std::string> unreadable;
};

void addRecord(std::string& records, std::string_view record, bool nul)
{
    records += record;
    records += nul ? '\0' : '\n';
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
std::string textRecord(const ListOptions& options, const ParsedPattern* format, const std::string& shown,
    const TagFields& tag, const PatternContext& context)
{
    const PathForm form = recordForm(options.nul ? PathForm::AsIs : PathForm::OneLine);
    if (format) {
        const ListedPlace place = placeOf(shown, form);
        PatternContext withPlace = context;
        withPlace.place = &place;
        return textToName(formatPattern(format->parts, tag, withPlace));
    }
    if (options.pathsOnly)
        return pathText(shown, form);
    std::string line = pathText(shown, recordForm(PathForm::OneLine));
    for (const QString& value : columnsOf(tag))
        line += '\t' + fieldText(value);
    return line;
}

int runList(const ListOptions& options)
{
    const auto paths = absolutePaths(options.paths);
    if (!paths)
        return kUsage;
    std::shared_ptr<const ParsedPattern> format;
    if (!options.format.empty() && !(format = readPattern(options.format, true, false, PatternUse::Listing)))
        return kUsage;
    const PathDisplay display = displayForArguments(options.paths, *paths);
    int status = kDone;
    if (!format && !options.pathsOnly && !options.json && stdoutIsTerminal()) {
        std::string header;
        for (const char* column : kColumns)
            header += std::string(header.empty() ? "" : "\t") + column;
        writeRecord(header, options.nul);
    }
    Progress progress(!options.json);
    LibraryWalk walk;
    walk.paths = *paths;
    walk.recursive = options.recursive;
    walk.source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    walk.onPool = [&](const WalkedFolder& folder, FolderReads& reads) -> std::any {
        std::vector<const TagFields*> tags;
        for (const auto& read : reads) {
            if (read)
                tags.push_back(&read->tag);
        }
        const NumberWidths widths = widestNumbers(tags);
        FolderOutput output;
        for (std::size_t i = 0; i < folder.mp3s.size(); ++i) {
            const std::string path = joinPath(folder.path, folder.mp3s[i].name);
            if (!reads[i]) {
                output.unreadable.push_back(display.said(path, folder.argument));
                continue;
            }
            const TagFields& tag = reads[i]->tag;
            if (options.json) {
                const QByteArray line = QJsonDocument(jsonOf(path, tag)).toJson(QJsonDocument::Compact);
                addRecord(
                    output.records, std::string_view(line.constData(), static_cast<std::size_t>(line.size())), false);
                continue;
            }
            const PatternContext context { static_cast<int>(i) + 1, QStringLiteral(" - "), widths, true };
            addRecord(output.records,
                textRecord(options, format.get(), display.place(path, folder.argument), tag, context), options.nul);
        }
        return output;
    };
    walk.inOrder = [&](const WalkedFolder&, FolderReads&, std::any& made) {
        const FolderOutput& output = std::any_cast<const FolderOutput&>(made);
        progress.clear();
        writeText(output.records);
        for (const std::string& shown : output.unreadable) {
            complain(shown + ": cannot be read");
            status = kSomeFailed;
        }
    };
    walk.failed = [&](const WalkFailure& failure) {
        complain(display.said(failure.path) + ": " + failure.reason);
        status = kSomeFailed;
    };
    walk.keepGoing = [&](std::size_t read, std::size_t found) {
        progress.update("reading", read, found);
        return !interrupted.load();
    };
    return walkLibrary(walk) ? status : kInterrupted;
}

} // namespace

void addListCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand("list", "List MP3 files with their tags, one line per file.");
    list->add_option("PATH", options->paths, "MP3 files and folders (a folder: its MP3 files)")->required();
    list->add_flag("-r,--recursive", options->recursive, "every folder below each folder too");
    list->add_flag("--id3v1", options->id3v1, "read the ID3v1 tag only (default: ID3v2 first, then ID3v1)");
    CLI::Option* format = list->add_option("-f,--format", options->format,
        "a pattern in the own-pattern language, \\t and \\n understood; each field as the tag holds it (\"AC/DC\" "
        "stays \"AC/DC\"), and {path} (as the listing shows it), {name}, {folder}, {ext} (without the dot) "
        "(default: path and the fields, tab-separated)");
    CLI::Option* paths = list->add_flag("--paths", options->pathsOnly,
        "the paths alone, one a line; with -0 byte for byte, for xargs -0")->excludes(format);
    list->add_flag("-0,--null", options->nul, "end each record with a NUL instead of a newline");
    list->add_flag("--json", options->json, "one JSON object per line: the absolute path and every field")
        ->excludes(paths);
    list->footer(kExitStatusHelp);
    list->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runList(*options);
        };
    });
}

} // namespace zentrio::cli
