#include "cli/tagbatchrun.h"

#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "platform/filenames.h"
#include "rename/libraryread.h"
#include "tags/frameedit.h"
#include "tags/tagjournal.h"
#include "tags/tagwrite.h"

#include <QDate>
#include <QRegularExpression>
#include <QJsonObject>

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

QString currentValue(const TagFields& tag, TagField field)
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

// The value a field will read after the write: a track or disc without a
// total keeps the old total in an ID3v2 tag; the ID3v1 record holds 30
// characters of a text, a number of a track, and four digits of a year.
QString valueAfter(TagField field, const QString& value, const QString& current, bool id3v1)
{
    switch (field) {
    case TagField::Track:
    case TagField::Disc:
        return id3v1 ? value.section(u'/', 0, 0).trimmed() : withKeptTotal(value, current);
    case TagField::Song:
    case TagField::Artist:
    case TagField::Album:
        return id3v1 ? trimSpaces(value.left(kFieldWidth)) : value;
    case TagField::Year:
        return id3v1 && !QRegularExpression(QStringLiteral("^\\d{4}")).match(value).hasMatch() ? current : value;
    default:
        return value;
    }
}

struct Change {
    TagField field;
    QString from;
    QString to;
};

// One file of the batch, as it is shown and written.
struct Target {
    std::string path;
    std::size_t argument = 0;
    enum class State { Changes, Unchanged, NoMatch, Unreadable } state = State::Changes;
    std::vector<Change> changes;
    TagValues values;
};

const char* fieldName(TagField field)
{
    for (const auto& [known, name] : kFieldNames) {
        if (known == field)
            return name;
    }
    return "";
}

std::string changesText(const std::vector<Change>& changes)
{
    std::string text;
    for (const Change& change : changes) {
        text += (text.empty() ? "" : ", ") + std::string(fieldName(change.field)) + " \"" + fieldText(change.from)
            + "\" -> \"" + fieldText(change.to) + '"';
    }
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
        const std::string shown = m_display.show(target.path, target.argument);
        if (m_json) {
            QJsonObject object;
            putPath(object, "path", shown);
            object.insert("status", QLatin1String(status));
            QJsonObject changes;
            for (const Change& change : target.changes)
                changes.insert(QLatin1String(fieldName(change.field)), QJsonObject { { "from", change.from }, { "to", change.to } });
            object.insert("changes", changes);
            object.insert("reason", QString::fromStdString(reason));
            writeJson(object);
        } else if (!reason.empty()) {
            tell(std::string(status) + ": " + shown + ": " + reason);
        } else if (!target.changes.empty()) {
            writeRecord(shown + ": " + changesText(target.changes));
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

// Every file below the paths, with what would change in it.
std::vector<Target> targetsOf(const TreeWalk& walk, const TagRunOptions& options, const ValuesOf& valuesOf,
    Progress& progress, bool& complete)
{
    std::vector<Target> targets;
    const std::size_t total = walk.fileCount();
    const TagSource source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    complete = readFolderTags(
        walk, source,
        [&](const WalkedFolder& folder, FolderReads& reads) {
            for (std::size_t i = 0; i < folder.mp3s.size(); ++i) {
                Target target { joinPath(folder.path, folder.mp3s[i].name), folder.argument };
                const auto values = valuesOf(target.path);
                if (!reads[i]) {
                    target.state = Target::State::Unreadable;
                } else if (!values) {
                    target.state = Target::State::NoMatch;
                } else {
                    target.values = *values;
                    for (const auto& [field, value] : *values) {
                        const QString from = currentValue(reads[i]->tag, field);
                        const QString to = valueAfter(field, value, from, options.id3v1);
                        if (from != to)
                            target.changes.push_back({ field, from, to });
                    }
                    if (target.changes.empty())
                        target.state = Target::State::Unchanged;
                }
                targets.push_back(std::move(target));
            }
        },
        [&](std::size_t read) {
            progress.update("reading", read, total);
            return !interrupted.load();
        });
    progress.clear();
    return targets;
}

struct Counts {
    int written = 0, unchanged = 0, nomatch = 0, failed = 0;
    std::string text(bool planned) const
    {
        return std::string(planned ? "to write " : "written ") + std::to_string(written) + ", unchanged "
            + std::to_string(unchanged) + ", no match " + std::to_string(nomatch) + ", failed " + std::to_string(failed);
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
        case Target::State::Changes:
            break;
        }
    }
}

} // namespace

int runTagBatch(const TagRunOptions& options, const ValuesOf& valuesOf)
{
    const auto paths = absolutePaths(options.paths);
    if (!paths)
        return kUsage;
    const PathDisplay display = displayForArguments(options.paths, *paths);
    const TreeWalk walk = walkTree(*paths, options.recursive);
    int status = kDone;
    for (const WalkFailure& failure : walk.failures) {
        complain(display.show(failure.path) + ": cannot be listed: " + failure.reason);
        status = kSomeFailed;
    }
    Progress progress(!options.json);
    bool complete = true;
    const std::vector<Target> targets = targetsOf(walk, options, valuesOf, progress, complete);
    if (!complete)
        return kInterrupted; // nothing was changed
    Report report(display, options.json);
    Counts counts;
    reportLeftAlone(targets, report, counts);
    std::vector<const Target*> changing;
    for (const Target& target : targets) {
        if (target.state == Target::State::Changes)
            changing.push_back(&target);
    }
    if (options.dryRun) {
        for (const Target* target : changing)
            report.file(*target, "written");
        counts.written = static_cast<int>(changing.size());
        report.summary("dry run, nothing changed: " + counts.text(true));
        return counts.failed > 0 ? kSomeFailed : status;
    }
    TagBatch batch;
    batch.source = options.id3v1 ? TagSource::Id3v1 : TagSource::Id3v2First;
    batch.year = QDate::currentDate().year();
    batch.addMissingRecord = options.id3v1; // an ID3v2 tag takes the values; a record is kept in step where there is one
    batch.recordFields = RecordFields::All;
    batch.origin = TagOrigin::CommandLine;
    for (const Target* target : changing)
        batch.files.emplace_back(target->path, target->values);
    batch.keepGoing = [&](std::size_t done) {
        progress.update("writing", done, changing.size());
        return !interrupted.load();
    };
    const TagJournal journal(defaultTagJournalPath());
    const TagBatchResult result = writeTags(batch, &journal);
    progress.clear();
    if (!result.journalError.empty() && result.written == 0) {
        complain(result.journalError + "; nothing was changed");
        return kSomeFailed;
    }
    for (std::size_t i = 0; i < changing.size(); ++i) {
        const bool written = i < result.done.size() && result.done[i];
        ++(written ? counts.written : counts.failed);
        if (written)
            report.file(*changing[i], "written");
        else
            report.file(*changing[i], "failed", result.stopped ? "not done: interrupted" : "cannot be written, or changed while it was read");
    }
    if (!result.journalError.empty())
        complain(result.journalError + "; the files after it were not written");
    report.summary(counts.text(false) + (counts.written > 0 ? "; undo with: zentrio-cli tag undo" : ""));
    if (result.stopped)
        return kInterrupted;
    return counts.failed > 0 ? kSomeFailed : status;
}

} // namespace zentrio::cli
