#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/formatoption.h"
#include "cli/listrecord.h"
#include "cli/patternargument.h"
#include "cli/queryargument.h"
#include "platform/fs/filenames.h"
#include "rename/naming/foldernames.h"
#include "tags/query/querymatch.h"
#include "tags/read/treewalk.h"

namespace zentrio::cli {

namespace {

struct ListOptions {
    std::vector<std::string> paths;
    bool recursive = false;
    bool id3v1 = false;
    std::string formats;
    std::string format;
    bool pathsOnly = false;
    bool nul = false;
    bool json = false;
    std::optional<std::string> query;
    bool count = false;
};

// A folder's records, made on the pool, the files that could not be read,
// and how many were listed.
struct FolderOutput {
    std::string records;
    std::vector<std::string> unreadable;
    std::size_t listed = 0;
};

// The files a folder lists, by their place in it: those the query takes
// (every one without a query), and those that cannot be read unless where
// they lie rules them out, which are said to have failed.
std::vector<std::size_t> listedFiles(const WalkedFolder& folder, const FolderReads& reads, const Query* query)
{
    std::vector<std::size_t> listed;
    listed.reserve(reads.size());
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const std::string path = query ? joinPath(folder.path, folder.audio[i].name) : std::string();
        if (!query || (reads[i] ? matchesQuery(*query, reads[i]->tag, path) : !placeRulesOut(*query, path)))
            listed.push_back(i);
    }
    return listed;
}

void addRecord(std::string& records, std::string_view record, bool nul)
{
    records += record;
    records += nul ? '\0' : '\n';
}

int runList(const ListOptions& options)
{
    const auto paths = absolutePaths(options.paths);
    const auto formats = chosenFormats(options.formats, options.id3v1);
    const auto query = readQuery(options.query);
    if (!paths || !formats || !query)
        return kUsage;
    std::shared_ptr<const ParsedPattern> format;
    if (!options.format.empty() && !(format = readPattern(options.format, true, false, PatternUse::Listing)))
        return kUsage;
    const ListFormat how { format.get(), options.pathsOnly, options.nul, options.json };
    // A listing's numbers are as wide as an own pattern's over the folder.
    NameOptions listNaming;
    listNaming.pattern = Pattern::Own;
    listNaming.own = format;
    const PathDisplay display = displayForArguments(options.paths, *paths);
    int status = kDone;
    if (!format && !options.pathsOnly && !options.json && !options.count && stdoutIsTerminal())
        writeRecord(listHeader(), options.nul);
    Progress progress(!options.json);
    LibraryWalk walk;
    walk.paths = *paths;
    walk.recursive = options.recursive;
    walk.formats = *formats;
    walk.source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    std::size_t listed = 0;
    walk.onPool = [&](const WalkedFolder& folder, FolderReads& reads, std::any& made) {
        const auto pathOf = [&](std::size_t i) { return joinPath(folder.path, folder.audio[i].name); };
        const std::vector<std::size_t> files = listedFiles(folder, reads, query->get());
        FolderOutput output;
        FolderTags tags(files.size());
        for (std::size_t k = 0; k < files.size(); ++k) {
            tags[k] = reads[files[k]] ? &reads[files[k]]->tag : nullptr;
            if (!tags[k])
                output.unreadable.push_back(display.said(pathOf(files[k]), folder.argument));
        }
        output.listed = files.size() - output.unreadable.size();
        if (options.count) {
            made = std::move(output);
            return;
        }
        composeFolder(tags, listNaming, [&](std::size_t k, const TagFields* tag, const NameOptions& naming, int number) {
            if (!tag)
                return;
            const std::string path = pathOf(files[k]);
            const PatternContext context { number, naming.separator, naming.widths, true };
            addRecord(output.records, listRecord(how, path, display.place(path, folder.argument), *tag, context),
                options.nul && !options.json);
        });
        made = std::move(output);
    };
    walk.inOrder = [&](const WalkedFolder&, FolderReads&, std::any& made) {
        const FolderOutput& output = std::any_cast<const FolderOutput&>(made);
        progress.clear();
        writeText(output.records);
        listed += output.listed;
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
    if (!walkLibrary(walk))
        return kInterrupted;
    if (options.count)
        writeRecord(std::to_string(listed), options.nul);
    return status;
}

} // namespace

void addListCommand(CLI::App& app, Command& run)
{
    auto options = std::make_shared<ListOptions>();
    CLI::App* list = app.add_subcommand("list", "List audio files with their tags, one line per file.");
    list->add_option("PATH", options->paths, "audio files and folders (a folder: its audio files)")->required();
    list->add_flag("-r,--recursive", options->recursive, "every folder below each folder too");
    addFormatOption(*list, options->formats);
    addQueryOption(*list, options->query);
    list->add_flag("--id3v1", options->id3v1,
        "read the ID3v1 tag of MP3 files only (default: ID3v2 first, then ID3v1; other formats by their own tags)");
    CLI::Option* format = list->add_option("-f,--format", options->format,
        "a pattern in the own-pattern language, \\t and \\n understood; each field as the tag holds it (\"AC/DC\" "
        "stays \"AC/DC\"), and {path} (as the listing shows it), {name}, {folder}, {ext} (without the dot) "
        "(default: path and the fields, tab-separated)");
    CLI::Option* paths = list->add_flag("--paths", options->pathsOnly,
        "the paths alone, one a line; with -0 byte for byte, for xargs -0")->excludes(format);
    list->add_flag("-0,--null", options->nul, "end each record with a NUL instead of a newline");
    CLI::Option* json = list->add_flag("--json", options->json,
        "one JSON object per line: the absolute path, the format and every field")->excludes(paths);
    list->add_flag("--count", options->count, "print only the number of files listed (with -q: of those that match)")
        ->excludes(format)
        ->excludes(paths)
        ->excludes(json);
    list->footer(kExitStatusHelp);
    list->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runList(*options);
        };
    });
}

} // namespace zentrio::cli
