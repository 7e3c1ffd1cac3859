#include "cli/tagbatchrun.h"

#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "cli/formatoption.h"
#include "cli/queryargument.h"
#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"
#include "tags/query/querymatch.h"
#include "tags/read/treewalk.h"
#include "tags/write/tagdryrun.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"
#include "tags/write/tagwrite.h"

#include <QDate>
#include <QJsonObject>

namespace zentrio::cli {

namespace {

constexpr std::pair<TagField, const char*> kFieldNames[] = { { TagField::Song, "song" },
    { TagField::Artist, "artist" }, { TagField::Album, "album" }, { TagField::Track, "track" },
    { TagField::Disc, "disc" }, { TagField::Year, "year" }, { TagField::Genre, "genre" },
    { TagField::AlbumArtist, "albumartist" } };

const char* nameOf(TagField field)
{
    for (const auto& [known, name] : kFieldNames) {
        if (known == field)
            return name;
    }
    return "";
}

// One file of the batch, by the path that reached it, with what the batch
// would do to it.
struct Target {
    std::string path;
    std::size_t argument = 0;
    PlannedTagWrite plan;
};

std::string changesText(const std::vector<FieldChange>& changes)
{
    std::string text;
    for (const FieldChange& change : changes)
        text += (text.empty() ? "" : ", ") + std::string(nameOf(change.field)) + " \"" + fieldText(change.from) + "\" -> \""
            + fieldText(change.to) + '"';
    return text;
}

class Report {
public:
    Report(const PathDisplay& display, bool json)
        : m_display(display)
        , m_json(json)
    {
    }

    void file(const Target& target, const char* status, const std::string& reason = {})
    {
        if (m_json) {
            QJsonObject object;
            putPath(object, "path", target.path);
            object.insert("status", QLatin1String(status));
            QJsonObject changes;
            for (const FieldChange& change : target.plan.changes)
                changes.insert(QLatin1String(nameOf(change.field)), QJsonObject { { "from", change.from }, { "to", change.to } });
            object.insert("changes", changes);
            object.insert("reason", QString::fromStdString(reason));
            writeJson(object);
        } else if (!reason.empty()) {
            tell(std::string(status) + ": " + m_display.said(target.path, target.argument) + ": " + reason);
        } else if (!target.plan.changes.empty()) {
            writeRecord(m_display.show(target.path, target.argument) + ": " + changesText(target.plan.changes));
        }
    }

    void summary(const std::string& line)
    {
        if (m_json)
            tell(line);
        else
            writeRecord(line);
    }

private:
    const PathDisplay& m_display;
    bool m_json;
};

// The batch every file of the run goes into, by the options.
TagBatch batchFor(const TagRunOptions& options)
{
    TagBatch batch;
    batch.source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    batch.year = QDate::currentDate().year();
    // With the ID3v2 tag, a record the file has keeps in step and none is
    // added; the ID3v1 record alone is made where missing, blank but for
    // the values named.
    batch.addMissingRecord = options.id3v1;
    batch.wholeNewRecord = false;
    batch.recordFields = RecordFields::All;
    batch.origin = TagOrigin::CommandLine;
    batch.keepTime = options.keepTime;
    return batch;
}

// The path of a file below the path given that reached it: a folder's
// files and those of its folders by their path below it, a file given by
// its name alone, so that no folder above what was named gives a value.
std::string pathBelow(const std::string& path, const std::string& given)
{
    const std::string folder = given == "/" ? given : given + '/';
    if (path != given && path.starts_with(folder))
        return path.substr(folder.size());
    return baseOf(path);
}

// The memory the writes planned while reading may keep, so that a batch
// writes them without reading each file twice; the writes past it read
// their files again.
constexpr std::size_t kKeptWriteBytes = 64u << 20;

// Every file below the paths, with what the batch would do to it; with
// `keepBytes`, the writes it plans too (PlannedTagWrite::kept).
std::optional<std::vector<Target>> targetsOf(std::vector<Target> targets, const std::vector<std::string>& given,
    TagBatch batch, const ValuesOf& valuesOf, const Query* query, Progress& progress, std::size_t keepBytes)
{
    std::vector<std::string> paths;
    paths.reserve(targets.size());
    for (const Target& target : targets)
        paths.push_back(target.path);
    batch.keepGoing = [&](std::size_t done) {
        progress.update("reading", done, targets.size());
        return !interrupted.load();
    };
    TakenFor taken;
    if (query)
        taken = [&](std::size_t i, const TagFields* now) {
            return now ? matchesQuery(*query, *now, targets[i].path) : !placeRulesOut(*query, targets[i].path);
        };
    auto planned = planTagWrites(
        batch, paths, [&](std::size_t i) { return valuesOf(pathBelow(targets[i].path, given[targets[i].argument])); },
        taken, keepBytes);
    if (!planned)
        return std::nullopt;
    progress.clear();
    for (std::size_t i = 0; i < targets.size(); ++i)
        targets[i].plan = std::move((*planned)[i]);
    return targets;
}

struct Counts {
    int written = 0, unchanged = 0, nomatch = 0, failed = 0, notDone = 0;
    bool interrupted = false; // the files not done were stopped by Ctrl-C (else by a failure)
    std::optional<QueryTally> queried; // with -q: the files read and those it matched
    std::string text(bool planned) const
    {
        std::string line = std::string(planned ? "to write " : "written ") + std::to_string(written) + ", unchanged "
            + std::to_string(unchanged) + ", no match " + std::to_string(nomatch) + ", failed " + std::to_string(failed);
        if (notDone > 0)
            line += std::string(interrupted ? ", not done (interrupted) " : ", not done ") + std::to_string(notDone);
        if (queried)
            line += "; " + matchedText(queried->matched, queried->read);
        return line;
    }
};

// A file the query is asked of: read, and, with a query, matched.
void tally(Counts& counts, bool read, bool matched)
{
    if (counts.queried && read) {
        ++counts.queried->read;
        counts.queried->matched += matched ? 1 : 0;
    }
}

// The files that are left alone whatever happens, counted and reported.
void reportLeftAlone(const std::vector<Target>& targets, Report& report, Counts& counts)
{
    for (const Target& target : targets) {
        const PlannedTagWrite::State state = target.plan.state;
        tally(counts, state != PlannedTagWrite::State::Unreadable, state != PlannedTagWrite::State::NotTaken);
        switch (state) {
        case PlannedTagWrite::State::NotTaken:
            break; // left out by the query: not said, only counted
        case PlannedTagWrite::State::Unchanged:
            ++counts.unchanged;
            report.file(target, "unchanged");
            break;
        case PlannedTagWrite::State::NoMatch:
            ++counts.nomatch;
            report.file(target, "nomatch", "the name does not fit the pattern; left alone");
            break;
        case PlannedTagWrite::State::Unreadable:
            ++counts.failed;
            report.file(target, "failed", "cannot be read");
            break;
        case PlannedTagWrite::State::NotWritable:
            ++counts.failed;
            report.file(target, "failed",
                "its metadata is laid out in a way this program does not write safely, or the write would change "
                "fields not named; left alone");
            break;
        case PlannedTagWrite::State::TagPastEnd:
            ++counts.failed;
            report.file(target, "failed", "its ID3v2 tag claims more bytes than the file holds; left alone");
            break;
        case PlannedTagWrite::State::SameFile:
            ++counts.unchanged;
            report.file(target, "unchanged", "the same file as another path given");
            break;
        case PlannedTagWrite::State::Changes:
            break;
        }
    }
}

} // namespace

bool waitingForOtherCommand()
{
    static bool said = false;
    if (!std::exchange(said, true))
        tell("waiting for another tag command (of this program or the Zentrio window) to end; Ctrl-C gives up");
    return !interrupted.load();
}

void reportRepair(const fs::RepairOutcome& repaired)
{
    if (repaired.restored > 0)
        tell("an interrupted tag write was put back in " + std::to_string(repaired.restored) + " file(s)");
    if (repaired.waiting > 0)
        tell(std::to_string(repaired.waiting) + " file(s) wait for an interrupted tag write to be put back: they "
                                                "cannot be reached now, and are not written until it is");
    if (repaired.setAside > 0)
        tell(std::to_string(repaired.setAside) + " interrupted tag write(s) set aside in " + tagCopyFolder()
            + ": the files changed since");
}

int runTagBatch(const TagRunOptions& options, const ValuesOf& valuesOf)
{
    const auto formats = chosenFormats(options.ext, options.id3v1);
    const auto paths = formats ? absolutePaths(options.paths) : std::nullopt;
    const auto query = paths ? readQuery(options.query) : std::nullopt;
    if (!query)
        return kUsage;
    if (!options.dryRun)
        reportRepair(repairInterruptedTagWrites());
    const PathDisplay display = displayForArguments(options.paths, *paths);
    int status = kDone;
    std::vector<Target> found;
    LibraryWalk walk;
    walk.paths = *paths;
    walk.recursive = options.recursive;
    walk.formats = formats->within(writableFormats());
    walk.readTags = false; // each file is read once, by its preview
    std::vector<Target> leftOut;
    walk.inOrder = [&](const WalkedFolder& folder, FolderReads&, std::any&) {
        for (const WalkedFile& file : folder.audio)
            found.push_back({ joinPath(folder.path, file.name), folder.argument });
        for (const std::string& name : folder.leftOut) {
            const auto format = audioFormatOf(name);
            if (format && formats->contains(*format))
                leftOut.push_back({ joinPath(folder.path, name), folder.argument });
        }
    };
    walk.failed = [&](const WalkFailure& failure) {
        complain(display.said(failure.path) + ": cannot be listed: " + failure.reason);
        status = kSomeFailed;
    };
    walk.keepGoing = [](std::size_t, std::size_t) { return !interrupted.load(); };
    Progress progress(!options.json);
    TagBatch batch = batchFor(options);
    const auto targets = walkLibrary(walk)
        ? targetsOf(std::move(found), *paths, batch, valuesOf, query->get(), progress,
              options.dryRun ? 0 : kKeptWriteBytes)
        : std::nullopt;
    if (!targets) {
        complain("interrupted while reading; nothing was changed");
        return kInterrupted;
    }
    Report report(display, options.json);
    Counts counts;
    if (*query)
        counts.queried = QueryTally {};
    reportLeftAlone(*targets, report, counts);
    for (const Target& target : leftOut) {
        if (*query) {
            // Never written, so not read before: read now for the query alone.
            const auto fields = readFileTag(target.path, batch.source);
            const bool matched
                = fields ? matchesQuery(**query, *fields, target.path) : !placeRulesOut(**query, target.path);
            tally(counts, fields.has_value(), matched);
            if (!matched)
                continue;
        }
        ++counts.failed;
        report.file(target, "failed",
            "the tags of this format are not written (only those of " + writableFormatList() + "); left alone");
    }
    std::vector<const Target*> changing;
    for (const Target& target : *targets) {
        if (target.plan.state == PlannedTagWrite::State::Changes)
            changing.push_back(&target);
    }
    if (options.dryRun) {
        for (const Target* target : changing)
            report.file(*target, "written");
        counts.written = static_cast<int>(changing.size());
        report.summary("dry run, nothing changed: " + counts.text(true));
        return counts.failed + counts.nomatch > 0 ? kSomeFailed : status;
    }
    for (const Target* target : changing) {
        batch.files.emplace_back(target->path, target->plan.values);
        batch.kept.push_back(target->plan.kept);
    }
    batch.keepGoing = [&](std::size_t done) {
        progress.update("writing", done, changing.size());
        return !interrupted.load();
    };
    batch.keepWaiting = waitingForOtherCommand;
    const TagJournal journal(defaultTagJournalPath());
    const TagBatchResult result = writeTags(batch, &journal);
    progress.clear();
    if (!result.journalError.empty() && result.written == 0) {
        complain(result.journalError + "; nothing was changed");
        return interrupted.load() ? kInterrupted : kSomeFailed; // Ctrl-C while waiting for another command
    }
    counts.interrupted = result.stopped;
    for (std::size_t i = 0; i < changing.size(); ++i) {
        switch (result.outcomes[i]) {
        case FileOutcome::Written:
            ++counts.written;
            report.file(*changing[i], "written");
            break;
        case FileOutcome::Unchanged:
        case FileOutcome::SameFile:
            ++counts.unchanged;
            report.file(*changing[i], "unchanged",
                result.outcomes[i] == FileOutcome::SameFile ? "the same file as another path given" : "");
            break;
        case FileOutcome::Failed:
            ++counts.failed;
            report.file(*changing[i], "failed", "cannot be written, or it changed while it was read");
            break;
        case FileOutcome::NotAttempted:
            ++counts.notDone; // said once, in the summary
            break;
        }
    }
    if (!result.journalError.empty())
        complain(result.journalError + "; the files after it were not written");
    report.summary(counts.text(false) + (counts.written > 0 ? "; undo with: zentrio-cli tag undo" : ""));
    if (result.stopped)
        return kInterrupted;
    return counts.failed + counts.notDone + counts.nomatch > 0 ? kSomeFailed : status;
}

} // namespace zentrio::cli
