#include "cli/performplan.h"

#include "cli/exitstatus.h"
#include "cli/queryargument.h"
#include "rename/history/journalfolder.h"
#include "rename/moves/moverun.h"
#include "rename/library/planfile.h"
#include "rename/playlists/playlistfollow.h"

#include <ctime>
#include <unordered_map>

namespace zentrio::cli {

namespace {

// What a report says of its files: what a run did, what a dry run or a
// plan would do, or what a run refused for its conflicts did not do.
enum class Stage { Done, Planned, Refused };

const char* statusWord(FileStatus status, Stage stage)
{
    switch (status) {
    case FileStatus::Renamed:
    case FileStatus::Moved:
        return stage == Stage::Done ? "renamed" : stage == Stage::Planned ? "planned" : "refused";
    case FileStatus::Unchanged:
        return "unchanged";
    case FileStatus::Skipped:
        return "skipped";
    case FileStatus::Conflict:
        return "conflict";
    case FileStatus::Failed:
        break;
    }
    return "failed";
}

struct Counts {
    int renamed = 0, moved = 0, along = 0, staying = 0, unchanged = 0, skipped = 0, failed = 0;
    void add(const PlannedFile& file)
    {
        if (file.carried && file.status == FileStatus::Skipped) {
            ++staying; // a companion whose name is taken where its folder's MP3 files go, or whose folder keeps one
            return;
        }
        switch (file.status) {
        case FileStatus::Renamed:
        case FileStatus::Moved:
            ++(file.carried ? along : file.status == FileStatus::Renamed ? renamed : moved);
            break;
        case FileStatus::Unchanged:
            ++unchanged;
            break;
        case FileStatus::Skipped:
            ++skipped;
            break;
        case FileStatus::Conflict:
        case FileStatus::Failed:
            ++failed;
            break;
        }
    }
    std::string text(bool planned) const
    {
        const std::string to = planned ? "to " : "";
        std::string line = (planned ? "to rename " : "renamed ") + std::to_string(renamed) + ", " + to
            + (planned ? "move " : "moved ") + std::to_string(moved) + ", unchanged " + std::to_string(unchanged)
            + ", skipped " + std::to_string(skipped) + ", failed " + std::to_string(failed);
        if (along > 0)
            line += ", other files " + to + "move along " + std::to_string(along);
        if (staying > 0)
            line += ", other files staying " + std::to_string(staying);
        return line;
    }
};

class Report {
public:
    Report(const PathDisplay& display, bool json, Stage stage = Stage::Done, bool toStderr = false)
        : m_display(display)
        , m_json(json)
        , m_stage(stage)
        , m_toStderr(toStderr)
    {
    }

    void file(const PlannedFile& file)
    {
        m_counts.add(file);
        if (m_json) {
            QJsonObject object;
            putPath(object, "from", file.from);
            if (!file.to.empty())
                putPath(object, "to", file.to);
            object.insert("status", QLatin1String(statusWord(file.status, m_stage)));
            const bool refused = m_stage == Stage::Refused && file.moves();
            object.insert("reason",
                refused ? QStringLiteral("not done: the run has conflicts, nothing was changed")
                        : QString::fromStdString(file.reason));
            if (file.carried)
                object.insert("along", true);
            writeJson(object);
            return;
        }
        if (file.moves())
            line(m_display.show(file.from, file.argument) + " -> " + m_display.show(file.to, file.argument));
        else if (file.status != FileStatus::Unchanged)
            tell(std::string(statusWord(file.status, m_stage)) + ": " + m_display.said(file.from, file.argument)
                + (file.to.empty() ? "" : " -> " + m_display.said(file.to, file.argument)) + ": " + file.reason);
    }

    void summary(const std::string& line)
    {
        if (m_json)
            tell(line);
        else
            this->line(line);
    }

    const Counts& counts() const { return m_counts; }

private:
    void line(const std::string& text)
    {
        if (m_toStderr)
            tell(text);
        else
            writeRecord(text);
    }

    const PathDisplay& m_display;
    bool m_json;
    Stage m_stage;
    bool m_toStderr;
    Counts m_counts;
};

// Each file as the run left it, to the report: moved when its last step
// was made, failed otherwise (at the step that failed, or never reached).
void reportOutcome(Report& report, const LibraryPlan& plan, const MovesDone& done)
{
    std::unordered_map<std::string_view, std::size_t> lastStepTo, firstStepFrom;
    for (std::size_t k = 0; k < plan.order.steps.size(); ++k) {
        lastStepTo[plan.order.steps[k].to] = k;
        firstStepFrom.try_emplace(plan.order.steps[k].from, k);
    }
    for (const PlannedFile& planned : plan.files) {
        if (!planned.moves() || done.made(lastStepTo.at(planned.to))) {
            report.file(planned);
            continue;
        }
        const std::size_t first = firstStepFrom.at(planned.from);
        const std::size_t last = lastStepTo.at(planned.to);
        PlannedFile file = planned;
        file.status = FileStatus::Failed;
        if (done.made(first))
            file.reason = "left at " + plan.order.steps[first].to + " on its way; zentrio-cli undo brings it back";
        else if ((done.failedStep == first || done.failedStep == last) && !done.failure.empty())
            file.reason = done.failure;
        else
            file.reason = done.end == RunEnd::Interrupted ? "not done: interrupted" : "not done: the run stopped";
        report.file(file);
    }
}

// "; the query matched 3 of 120 files read" for a plan made for a query.
std::string queriedText(const LibraryPlan& plan)
{
    return plan.queried ? "; " + matchedText(plan.queried->matched, plan.queried->read) : std::string();
}

int reportConflicts(const LibraryPlan& plan, const PathDisplay& display, bool json)
{
    Report report(display, json, Stage::Refused);
    int conflicts = 0;
    for (const PlannedFile& file : plan.files) {
        if (file.status == FileStatus::Conflict) {
            ++conflicts;
            complain("conflict: " + display.said(file.from, file.argument) + " -> "
                + display.said(file.to, file.argument) + ": " + file.reason);
        }
        if (json)
            report.file(file);
    }
    if (conflicts == 0)
        complain("conflict: " + plan.order.conflicts.front().reason);
    complain("nothing was changed");
    return kConflicts;
}

} // namespace

void addConflictsOption(CLI::App& command, std::string& word)
{
    command
        .add_option("--conflicts", word,
            "files in conflict (two to one name, a name taken by a file outside the run, any other check failed): "
            "stop (the default: nothing is renamed), skip (those files stay where they are, the rest goes through), "
            "number (the second and later files to one name, in order of their paths, and a name already taken, "
            "get \" (2)\", \" (3)\"... before the extension); a file outside the run is never replaced")
        ->check(CLI::IsMember({ "stop", "skip", "number" }));
}

ConflictPolicy conflictPolicy(const std::string& word)
{
    return word == "skip" ? ConflictPolicy::Skip : word == "number" ? ConflictPolicy::Number : ConflictPolicy::Stop;
}

int performPlan(const LibraryPlan& plan, const PathDisplay& display, const PlanRun& how)
{
    int status = kDone;
    for (const WalkFailure& failure : plan.failures) {
        complain(display.said(failure.path) + ": cannot be listed: " + failure.reason);
        status = kSomeFailed;
    }
    if (plan.hasConflicts())
        return reportConflicts(plan, display, how.json);
    const bool planned = how.dryRun || !how.planOut.empty();
    Report report(display, how.json, planned ? Stage::Planned : Stage::Done, how.reportToStderr);
    if (planned) {
        for (const PlannedFile& file : plan.files)
            report.file(file);
        if (!how.planOut.empty() && !fs::replaceFileAtomically(how.planOut, planToJson(plan).toStdString())) {
            complain("the plan cannot be written to " + how.planOut);
            return kSomeFailed;
        }
        const std::size_t playlists = plan.listedWithoutPlaylists ? 0 : playlistsToRewrite(plan.order.steps).size();
        report.summary((how.planOut.empty() ? "dry run, nothing changed: "
                                            : "plan written to " + how.planOut + ", nothing changed: ")
            + report.counts().text(true)
            + (playlists > 0 ? "; playlists to rewrite " + std::to_string(playlists) : std::string())
            + queriedText(plan)
            + (how.planOut.empty() ? "" : "; run it with: zentrio-cli apply " + how.planOut));
        return report.counts().failed > 0 ? kSomeFailed : status;
    }
    MovesDone done;
    PlaylistsFollowed playlists;
    if (!plan.order.steps.empty()) {
        RunRecord record = plan.record(std::time(nullptr));
        record.batch = kMarkBatch; // how far the concurrent run may get past its last mark
        RunHistory::Begun begun = RunHistory::standard().begin(record, plan.order.steps);
        if (!begun.writer) {
            complain(begun.error + "; nothing was changed");
            return kSomeFailed;
        }
        Progress progress(!how.json);
        const std::size_t steps = plan.order.steps.size();
        done = performMoves(
            plan.order, plan.emptied, *begun.writer, interrupted,
            [&](std::size_t made) { progress.update("renaming", made, steps); }, plan.recognition,
            [&](const MovesDone& made) { playlists = followPlaylists(plan.order.steps, made, *begun.writer); });
    }
    for (const PlaylistNotFollowed& failure : playlists.failures)
        complain("playlist " + display.show(failure.path) + ": " + failure.reason);
    reportOutcome(report, plan, done);
    if (done.end == RunEnd::Failed && !done.failedStep)
        complain(done.failure);
    std::string summary = report.counts().text(false);
    if (done.foldersMade + done.foldersRemoved > 0)
        summary += "; folders made " + std::to_string(done.foldersMade) + ", removed "
            + std::to_string(done.foldersRemoved);
    if (!playlists.rewritten.empty())
        summary += "; playlists rewritten " + std::to_string(playlists.rewritten.size());
    summary += queriedText(plan);
    if (!plan.order.steps.empty())
        summary += "; undo with: zentrio-cli undo";
    report.summary(summary);
    if (done.end == RunEnd::Interrupted)
        return kInterrupted;
    const bool failed = done.end == RunEnd::Failed || report.counts().failed > 0 || !playlists.failures.empty();
    return failed ? kSomeFailed : status;
}

} // namespace zentrio::cli
