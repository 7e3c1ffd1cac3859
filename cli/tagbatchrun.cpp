#include "cli/tagbatchrun.h"

#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"
#include "tags/read/treewalk.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"
#include "tags/write/tagwrite.h"

#include <QDate>
#include <QJsonObject>

#include <unordered_set>

namespace zentrio::cli {

namespace {

constexpr std::pair<TagField, const char*> kFieldNames[] = { { TagField::Song, "song" },
    { TagField::Artist, "artist" }, { TagField::Album, "album" }, { TagField::Track, "track" },
    { TagField::Disc, "disc" }, { TagField::Year, "year" }, { TagField::Genre, "genre" },
    { TagField::AlbumArtist, "albumartist" } };

QString numberPair(const QString& number, const QString& total)
{
    return total.isEmpty() ? number : number + u'/' + total;
}

QString valueOf(const TagFields& tag, TagField field)
{
    switch (field) {
    case TagField::Song:
        return tag.song;
    case TagField::Artist:
        return tag.artist;
    case TagField::Album:
        return tag.album;
    case TagField::Track:
        return numberPair(tag.track, tag.tracks);
    case TagField::Disc:
        return numberPair(tag.disc, tag.discs);
    case TagField::Year:
        return tag.year;
    case TagField::Genre:
        return tag.genre;
    case TagField::AlbumArtist:
        return tag.albumArtist;
    }
    return {};
}

struct Change {
    const char* field;
    QString from;
    QString to;
};

// One file of the batch: what it shows before and after, as the writer
// will leave it (read back from the bytes it would write).
struct Target {
    std::string path;
    std::size_t argument = 0;
    enum class State { Changes, Unchanged, NoMatch, Unreadable, TagPastEnd, SameFile } state = State::Changes;
    std::vector<Change> changes;
    TagValues values;
    std::string file; // the file itself, once read: two paths to one file have one
};

std::string changesText(const std::vector<Change>& changes)
{
    std::string text;
    for (const Change& change : changes)
        text += (text.empty() ? "" : ", ") + std::string(change.field) + " \"" + fieldText(change.from) + "\" -> \""
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
            for (const Change& change : target.changes)
                changes.insert(QLatin1String(change.field), QJsonObject { { "from", change.from }, { "to", change.to } });
            object.insert("changes", changes);
            object.insert("reason", QString::fromStdString(reason));
            writeJson(object);
        } else if (!reason.empty()) {
            tell(std::string(status) + ": " + m_display.said(target.path, target.argument) + ": " + reason);
        } else if (!target.changes.empty()) {
            writeRecord(m_display.show(target.path, target.argument) + ": " + changesText(target.changes));
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

// What the batch would do to one file: read, rewritten in memory, and the
// fields read back from the new bytes compared with the old ones.
Target preview(const TagBatch& batch, Target target, const std::optional<TagValues>& values)
{
    const auto layout = readTagLayout(target.path, batch.source == TagSource::Id3v2First);
    if (!layout) {
        target.state = Target::State::Unreadable;
        return target;
    }
    if (!values) {
        target.state = Target::State::NoMatch;
        return target;
    }
    target.file = layout->inodesIdentify
        ? std::to_string(layout->identity.device) + ':' + std::to_string(layout->identity.inode)
        : layout->path;
    target.values = *values;
    TagBatch one = batch;
    one.files = { { target.path, *values } };
    const auto rewrite = rewriteTags(*layout, changeFor(one, 0));
    if (!rewrite) {
        target.state = layout->regionFits ? Target::State::Unreadable : Target::State::TagPastEnd;
        return target;
    }
    if (plannedWrite(*layout, *rewrite).writesNothing()) {
        target.state = Target::State::Unchanged;
        return target;
    }
    const TagFields before = tagFieldsOf(layout->region, layout->tail, batch.source);
    const TagFields after = fieldsAfter(*layout, *rewrite, batch.source);
    for (const auto& [field, name] : kFieldNames) {
        if (valueOf(before, field) != valueOf(after, field))
            target.changes.push_back({ name, valueOf(before, field), valueOf(after, field) });
    }
    return target;
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

// Every file below the paths, with what would change in it, planned on the
// read pool a few thousand files at a time.
std::optional<std::vector<Target>> targetsOf(std::vector<Target> targets, const std::vector<std::string>& given,
    const TagBatch& batch, const ValuesOf& valuesOf, Progress& progress)
{
    constexpr std::size_t kChunk = 4096;
    for (std::size_t first = 0; first < targets.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, targets.size() - first);
        auto planned = readInOrder(
            count,
            [&](std::size_t i) {
                const Target& target = targets[first + i];
                return std::optional(preview(batch, target, valuesOf(pathBelow(target.path, given[target.argument]))));
            },
            ReadAll::Yes);
        for (std::size_t i = 0; i < count; ++i)
            targets[first + i] = std::move(*planned[i]);
        progress.update("reading", first + count, targets.size());
        if (interrupted.load())
            return std::nullopt;
    }
    progress.clear();
    // A file reached twice (a link and its target, two hard links) is
    // written once, by its first path, as the writer does.
    std::unordered_set<std::string> seen;
    for (Target& target : targets) {
        if (target.state == Target::State::Changes && !seen.insert(target.file).second) {
            target.state = Target::State::SameFile;
            target.changes.clear();
        }
    }
    return targets;
}

struct Counts {
    int written = 0, unchanged = 0, nomatch = 0, failed = 0, notDone = 0;
    bool interrupted = false; // the files not done were stopped by Ctrl-C (else by a failure)
    std::string text(bool planned) const
    {
        std::string line = std::string(planned ? "to write " : "written ") + std::to_string(written) + ", unchanged "
            + std::to_string(unchanged) + ", no match " + std::to_string(nomatch) + ", failed " + std::to_string(failed);
        if (notDone > 0)
            line += std::string(interrupted ? ", not done (interrupted) " : ", not done ") + std::to_string(notDone);
        return line;
    }
};

// The files that are left alone whatever happens, counted and reported.
void reportLeftAlone(const std::vector<Target>& targets, Report& report, Counts& counts)
{
    for (const Target& target : targets) {
        switch (target.state) {
        case Target::State::Unchanged:
            ++counts.unchanged;
            report.file(target, "unchanged");
            break;
        case Target::State::NoMatch:
            ++counts.nomatch;
            report.file(target, "nomatch", "the name does not fit the pattern; left alone");
            break;
        case Target::State::Unreadable:
            ++counts.failed;
            report.file(target, "failed", "cannot be read");
            break;
        case Target::State::TagPastEnd:
            ++counts.failed;
            report.file(target, "failed", "its ID3v2 tag claims more bytes than the file holds; left alone");
            break;
        case Target::State::SameFile:
            ++counts.unchanged;
            report.file(target, "unchanged", "the same file as another path given");
            break;
        case Target::State::Changes:
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
    const auto paths = absolutePaths(options.paths);
    if (!paths)
        return kUsage;
    if (!options.dryRun)
        reportRepair(repairInterruptedTagWrites());
    const PathDisplay display = displayForArguments(options.paths, *paths);
    int status = kDone;
    std::vector<Target> found;
    LibraryWalk walk;
    walk.paths = *paths;
    walk.recursive = options.recursive;
    walk.readTags = false; // each file is read once, by its preview
    walk.inOrder = [&](const WalkedFolder& folder, FolderReads&, std::any&) {
        for (const WalkedFile& file : folder.mp3s)
            found.push_back({ joinPath(folder.path, file.name), folder.argument });
    };
    walk.failed = [&](const WalkFailure& failure) {
        complain(display.said(failure.path) + ": cannot be listed: " + failure.reason);
        status = kSomeFailed;
    };
    walk.keepGoing = [](std::size_t, std::size_t) { return !interrupted.load(); };
    Progress progress(!options.json);
    TagBatch batch = batchFor(options);
    const auto targets
        = walkLibrary(walk) ? targetsOf(std::move(found), *paths, batch, valuesOf, progress) : std::nullopt;
    if (!targets) {
        complain("interrupted while reading; nothing was changed");
        return kInterrupted;
    }
    Report report(display, options.json);
    Counts counts;
    reportLeftAlone(*targets, report, counts);
    std::vector<const Target*> changing;
    for (const Target& target : *targets) {
        if (target.state == Target::State::Changes)
            changing.push_back(&target);
    }
    if (options.dryRun) {
        for (const Target* target : changing)
            report.file(*target, "written");
        counts.written = static_cast<int>(changing.size());
        report.summary("dry run, nothing changed: " + counts.text(true));
        return counts.failed + counts.nomatch > 0 ? kSomeFailed : status;
    }
    for (const Target* target : changing)
        batch.files.emplace_back(target->path, target->values);
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
