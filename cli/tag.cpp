#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/formatoption.h"
#include "cli/fromname.h"
#include "cli/queryargument.h"
#include "cli/setvalues.h"
#include "cli/tagbatchrun.h"

namespace zentrio::cli {

namespace {

struct SetOptions {
    TagRunOptions run;
    std::map<TagField, std::string> values;
};

struct FromNameOptions {
    TagRunOptions run;
    std::string pattern;
    bool underscore = false;
};

void addBatchOptions(CLI::App& command, TagRunOptions& run)
{
    command.add_option("PATH", run.paths,
        "audio files and folders (a folder: its audio files; the tags of " + writableFormatList()
            + " files are written, those of other formats are reported and left alone)")
        ->required();
    command.add_flag("-r,--recursive", run.recursive, "every folder below each folder too");
    addFormatOption(command, run.ext);
    addQueryOption(command, run.query);
    command.add_flag("-n,--dry-run", run.dryRun, "show, per file, what would change from what to what; change nothing");
    command.add_flag("--keep-time", run.keepTime,
        "give each file written its modification time back (tag undo puts back the time it had before, either way)");
    command.add_flag("--json", run.json, "one JSON object per file: path, status, changes (from, to) and reason");
    command.footer(kTagExitStatusHelp);
}

int runSet(SetOptions& options)
{
    if (options.values.empty()) {
        complain("name at least one field to set (--song, --artist, --album, --year, --genre, --albumartist, --track, --disc)");
        return kUsage;
    }
    const auto values = checkedSetValues(options.values, options.run.id3v1);
    if (!values)
        return kUsage; // before any file is read
    return runTagBatch(options.run, [values = *values](const std::string&) { return std::optional(values); });
}

int runFromName(const FromNameOptions& options)
{
    const auto valuesOf = valuesFromNames(options.pattern, options.underscore);
    if (!valuesOf)
        return kUsage;
    return runTagBatch(options.run, *valuesOf);
}

void addSetCommand(CLI::App& tag, Command& run)
{
    auto options = std::make_shared<SetOptions>();
    CLI::App* set = tag.add_subcommand("set",
        "Set the fields given on every file and keep every other field. The tag is written into the file itself "
        "(the audio moved only when the tag must grow, so the file keeps its owner, mode and links): an MP3 file's "
        "ID3v2 tag, with an ID3v1 record it has kept in step with the values it can hold; another format's own "
        "metadata (FLAC's Vorbis comment...), every other field, picture and item kept in its place. A track or "
        "disc without a total keeps the old total.");
    const std::tuple<const char*, TagField, const char*> fields[]
        = { { "--song", TagField::Song, "" }, { "--artist", TagField::Artist, "" }, { "--album", TagField::Album, "" },
              { "--year", TagField::Year,
                  ": YYYY, or a date YYYY-MM-DD or YYYY-MM (a v2.3 tag and the ID3v1 record take its year)" },
              { "--genre", TagField::Genre, "" }, { "--albumartist", TagField::AlbumArtist, "" },
              { "--track", TagField::Track, ": N or N/M" }, { "--disc", TagField::Disc, ": N or N/M" } };
    for (const auto& [name, field, takes] : fields) {
        set->add_option_function<std::string>(
            name, [options, field = field](const std::string& value) { options->values[field] = value; },
            std::string("the ") + (name + 2) + " to set" + takes);
    }
    set->add_flag("--id3v1", options->run.id3v1,
        "write the ID3v1 record only (song, artist and album of 30 characters, year, track, genre), of MP3 files only");
    addBatchOptions(*set, options->run);
    set->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runSet(*options);
        };
    });
}

void addFromNameCommand(CLI::App& tag, Command& run)
{
    auto options = std::make_shared<FromNameOptions>();
    CLI::App* fromName = tag.add_subcommand("from-name",
        "Fill tags from file names: the pattern is matched against each file's name without its extension and, where it "
        "holds \"/\", against the folders above it ({albumartist}/{album}/{track} - {song}), only those below the "
        "folder named (a file named by itself has none above it). Files that do not match, or have too few folders "
        "below the folder named, are listed and left alone (exit status 1); the others are written.");
    fromName->add_option("-p,--pattern", options->pattern,
        "a pattern in the own-pattern language; {ignore} skips a part")->required();
    fromName->add_flag("--underscore", options->underscore, "read \"_\" as a blank, in names and pattern alike");
    addBatchOptions(*fromName, options->run);
    fromName->callback([options, &run] {
        run = [options] {
            installInterruptHandler();
            return runFromName(*options);
        };
    });
}

} // namespace

void addTagCommand(CLI::App& app, Command& run)
{
    CLI::App* tag = app.add_subcommand("tag", "Fix the tags of audio files: set fields, fill them from file names, "
                                              "and take back the newest tag change (this program's or the window's).");
    tag->require_subcommand(1);
    tag->footer(kTagExitStatusHelp);
    addSetCommand(*tag, run);
    addFromNameCommand(*tag, run);
    addTagUndoCommand(*tag, run);
}

} // namespace zentrio::cli
