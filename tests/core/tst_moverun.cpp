#include "platform/fs/filenames.h"
#include "rename/history/journalfolder.h"
#include "rename/moves/movedeps.h"
#include "rename/moves/moverun.h"
#include "rename/history/undo.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;

namespace {

constexpr int kFiles = 2000;

// A few thousand files in ten folders, each file's bytes its own name, and a
// plan that moves them all into new folders, with a chain (a → b → c → d,
// from its free end) and a cycle (x → y → z → x) among them.
struct Library {
    testsupport::TempDir dir;
    std::string root = dir.path().toStdString();
    std::vector<std::string> files; // as made
    OrderedMoves order;

    Library()
    {
        for (int i = 0; i < kFiles; ++i)
            files.push_back(make("music/f" + std::to_string(i % 10) + "/" + std::to_string(i) + ".mp3"));
        for (const char* name : { "a", "b", "c", "x", "y", "z" })
            files.push_back(make(std::string("music/") + name + ".mp3"));
        std::vector<MoveRequest> requests;
        for (int i = 0; i < kFiles; ++i)
            request(requests, files[i], root + "/lib/g" + std::to_string(i % 7) + "/" + std::to_string(i) + ".mp3");
        for (const auto& [from, to] :
            { std::pair("c", "d"), { "b", "c" }, { "a", "b" }, { "x", "y" }, { "y", "z" }, { "z", "x" } })
            request(requests, root + "/music/" + from + ".mp3", root + "/music/" + to + ".mp3");
        order = orderMoves(requests);
    }

    std::string make(const std::string& relative)
    {
        QDir().mkpath(QString::fromStdString(root + "/" + parentOf(relative)));
        return testsupport::writeFile(root, relative, QByteArray::fromStdString(relative));
    }

    void request(std::vector<MoveRequest>& requests, const std::string& from, const std::string& to)
    {
        const auto identity = fs::identityOf(from);
        requests.push_back({ { from, to, *identity }, { identity->device, FsNames::Posix, false, "test" } });
    }

    RunHistory history() const { return RunHistory(root + "/state/runs"); }

    RunHistory::Begun begin() const
    {
        RunRecord record;
        record.kind = RunKind::Moves;
        record.origin = RunOrigin::CommandLine;
        record.batch = kMarkBatch;
        record.madeFolders = order.madeFolders;
        return history().begin(record, order.steps);
    }

    // Every file holds its own bytes where the made steps put it.
    void verify(const MovesDone& done) const
    {
        std::map<std::string, std::string> at; // path -> the relative path it was made at
        for (const std::string& file : files)
            at[file] = file.substr(root.size() + 1);
        for (std::size_t k = 0; k < order.steps.size(); ++k) {
            if (!done.made(k))
                continue;
            const Move& step = order.steps[k];
            at[step.to] = at[step.from];
            at.erase(step.from);
        }
        for (const auto& [path, made] : at)
            QCOMPARE(testsupport::readFile(path), QByteArray::fromStdString(made));
    }

    // Every file back where it was made, and nothing else in the tree.
    void verifyAllBack() const
    {
        for (const std::string& file : files)
            QCOMPARE(testsupport::readFile(file), QByteArray::fromStdString(file.substr(root.size() + 1)));
        QVERIFY(!testsupport::exists(root + "/lib"));
        QCOMPARE(testsupport::everyEntry(root + "/music").size(), std::size_t(10 + 6));
    }
};

} // namespace

// A run's moves made at once against its plan: chains in their order, a
// cycle through its temporary name, a failure that stops new moves while
// the journal names what was made, and undo after each, also after a kill.
class MoveRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aRunIsMadeAndUndone_data();
    void aRunIsMadeAndUndone();
    void aKilledRunIsUndone_data();
    void aKilledRunIsUndone();
    void aStepWaitsForTheMoveThatFreesItsTarget_data();
    void aStepWaitsForTheMoveThatFreesItsTarget();
    void namesOneLetterCaseApartAreMovedAndUndoneAtOnce();
    void aMoveThatCannotGoBackNowIsKeptForALaterUndo();
    void aSwapHeldBackByItsLastStepIsKeptWhole();
    void ctrlCWhileMovesWaitForAMarkEndsTheRun();
};

void MoveRunTest::aRunIsMadeAndUndone_data()
{
    QTest::addColumn<int>("replaced"); // the file replaced after the plan, or -1
    QTest::newRow("every move") << -1;
    QTest::newRow("a file replaced midway") << kFiles / 2;
    QTest::newRow("a file of the cycle replaced") << kFiles + 4;
}

void MoveRunTest::aRunIsMadeAndUndone()
{
    QFETCH(int, replaced);
    Library library;
    QVERIFY(library.order.conflicts.empty());
    if (replaced >= 0) {
        const std::string path = library.files[static_cast<std::size_t>(replaced)];
        QVERIFY(::unlink(path.c_str()) == 0);
        testsupport::writeFile(
            parentOf(path), baseOf(path), QByteArray::fromStdString(path.substr(library.root.size() + 1)));
    }
    auto begun = library.begin();
    QVERIFY(begun.writer);
    const std::atomic<bool> stop = false;
    const MovesDone done = performMoves(library.order, {}, *begun.writer, stop);
    QCOMPARE(done.end, replaced < 0 ? RunEnd::Completed : RunEnd::Failed);
    library.verify(done);
    if (replaced >= 0) {
        QVERIFY(done.failedStep);
        QVERIFY(!done.made(*done.failedStep));
        QVERIFY(done.done < library.order.steps.size());
    }
    const auto summary = readRunSummary(library.history().files().back().path);
    QCOMPARE(summary->progress.done, done.done);

    const NewestUndo undo = undoNewestRun(library.history(), library.root + "/none");
    QCOMPARE(undo.status, NewestUndo::Status::Undone);
    QCOMPARE(undo.result.notUndone, 0);
    library.verifyAllBack();
}

void MoveRunTest::aKilledRunIsUndone_data()
{
    QTest::addColumn<int>("delayMicroseconds");
    for (const int delay : { 0, 5000, 15000, 25000, 40000 })
        QTest::addRow("killed after %d us", delay) << delay;
}

// A child process makes the run and is killed at some moment; undo in this
// process brings every file back from what the journal and the disk say.
void MoveRunTest::aKilledRunIsUndone()
{
    QFETCH(int, delayMicroseconds);
    Library library;
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        auto begun = library.begin();
        const std::atomic<bool> stop = false;
        if (begun.writer)
            performMoves(library.order, {}, *begun.writer, stop);
        _exit(0);
    }
    usleep(static_cast<useconds_t>(delayMicroseconds));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const NewestUndo undo = undoNewestRun(library.history(), library.root + "/none");
    QVERIFY(undo.status == NewestUndo::Status::Undone || undo.status == NewestUndo::Status::Nothing);
    QCOMPARE(undo.result.notUndone, 0);
    qInfo("moved back %d", undo.result.movedBack);
    library.verifyAllBack();
}

void MoveRunTest::aStepWaitsForTheMoveThatFreesItsTarget_data()
{
    // Moves as "from>to", in run order; then the step that must wait and
    // the earlier step whose move frees its target.
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<int>("later");
    QTest::addColumn<int>("earlier");
    QTest::newRow("a chain") << QStringList { "/m/b>/m/c", "/m/a>/m/b" } << 1 << 0;
    QTest::newRow("a chain past an unrelated move") << QStringList { "/m/b>/m/c", "/m/q>/m/r", "/m/a>/m/b" } << 2 << 0;
    // Two files whose names differ only in letter case, on a volume that
    // keeps case: the file moving into "Cover.jpg" waits for "Cover.jpg"
    // to leave, not for "cover.jpg".
    QTest::newRow("names one letter case apart")
        << QStringList { "/x/Cover.jpg>/n/Cover.jpg", "/x/cover.jpg>/n/cover.jpg", "/y/Cover.jpg>/x/Cover.jpg" } << 2
        << 0;
}

void MoveRunTest::aStepWaitsForTheMoveThatFreesItsTarget()
{
    QFETCH(QStringList, moves);
    QFETCH(int, later);
    QFETCH(int, earlier);
    std::vector<Move> steps;
    for (const QString& move : moves)
        steps.push_back({ move.section('>', 0, 0).toStdString(), move.section('>', 1, 1).toStdString(), {} });
    // The later step waits for the earlier one directly or through steps between.
    const std::vector<StepWaits> waits = stepWaits(steps);
    std::vector<std::uint32_t> toVisit { static_cast<std::uint32_t>(later) };
    bool waitsForIt = false;
    while (!toVisit.empty() && !waitsForIt) {
        const std::uint32_t step = toVisit.back();
        toVisit.pop_back();
        for (const std::uint32_t before : waits[step]) {
            waitsForIt = waitsForIt || before == static_cast<std::uint32_t>(earlier);
            if (before != kNoStep)
                toVisit.push_back(before);
        }
    }
    QVERIFY2(waitsForIt, "the step may be made (or its undo taken back) before the move that frees its target");
}

// Folders X<i> hold "Cover.jpg" and "cover.jpg", both go to N<i>, and
// Y<i>'s "Cover.jpg" and "cover.jpg" take their places, as a rename of a
// library moves a folder's companions. Every move must be made, and every
// one undone, however the threads meet.
void MoveRunTest::namesOneLetterCaseApartAreMovedAndUndoneAtOnce()
{
    constexpr int kGroups = 300;
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    std::vector<MoveRequest> requests;
    std::vector<std::pair<std::string, QByteArray>> made;
    const auto file = [&](const std::string& relative) {
        QDir().mkpath(QString::fromStdString(root + "/" + parentOf(relative)));
        made.emplace_back(testsupport::writeFile(root, relative, QByteArray::fromStdString(relative)),
            QByteArray::fromStdString(relative));
        return made.back().first;
    };
    const auto request = [&](const std::string& from, const std::string& to) {
        const auto identity = fs::identityOf(from);
        requests.push_back({ { from, to, *identity }, { identity->device, FsNames::Posix, false, "test" } });
    };
    for (int i = 0; i < kGroups; ++i) {
        const std::string x = "X" + std::to_string(i), y = "Y" + std::to_string(i), n = "N" + std::to_string(i);
        for (const char* name : { "Cover.jpg", "cover.jpg" }) {
            file(x + "/" + name);
            file(y + "/" + name);
        }
        for (const char* name : { "Cover.jpg", "cover.jpg" })
            request(root + "/" + x + "/" + name, root + "/" + n + "/" + name);
        for (const char* name : { "Cover.jpg", "cover.jpg" })
            request(root + "/" + y + "/" + name, root + "/" + x + "/" + name);
    }
    const OrderedMoves order = orderMoves(requests);
    QVERIFY(order.conflicts.empty());
    const RunHistory history(root + "/state/runs");
    for (int round = 0; round < 3; ++round) {
        RunRecord record;
        record.kind = RunKind::Moves;
        record.origin = RunOrigin::CommandLine;
        record.batch = kMarkBatch;
        record.madeFolders = order.madeFolders;
        auto begun = history.begin(record, order.steps);
        QVERIFY(begun.writer);
        const std::atomic<bool> stop = false;
        const MovesDone done = performMoves(order, {}, *begun.writer, stop);
        QVERIFY2(done.end == RunEnd::Completed, done.failure.c_str());
        const NewestUndo undo = undoNewestRun(history, root + "/none");
        QCOMPARE(undo.status, NewestUndo::Status::Undone);
        const std::string leftAlone = undo.result.leftAlone.empty()
            ? std::string()
            : undo.result.leftAlone.front().path + ": " + undo.result.leftAlone.front().reason;
        QVERIFY2(leftAlone.empty(), leftAlone.c_str());
        for (const auto& [path, bytes] : made)
            QCOMPARE(testsupport::readFile(path), bytes);
    }
}

// A move back that fails now (here: where the file's old folder was, a file
// stands) must stay in the journal: once the way is clear again, the next
// undo brings the file back instead of finding nothing to undo.
void MoveRunTest::aMoveThatCannotGoBackNowIsKeptForALaterUndo()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    QDir().mkpath(QString::fromStdString(root + "/music/A"));
    const std::string from = testsupport::writeFile(root + "/music/A", "a.mp3", "song");
    const auto identity = fs::identityOf(from);
    const OrderedMoves order = orderMoves(
        { { { from, root + "/lib/N/a.mp3", *identity }, { identity->device, FsNames::Posix, false, "test" } } });
    QVERIFY(order.conflicts.empty());
    const std::vector<EmptiedFolder> emptied { { root + "/music/A", 0755 } };
    const RunHistory history(root + "/state/runs");
    RunRecord record;
    record.kind = RunKind::Moves;
    record.origin = RunOrigin::CommandLine;
    record.batch = kMarkBatch;
    record.madeFolders = order.madeFolders;
    record.emptiedFolders = emptied;
    auto begun = history.begin(record, order.steps);
    QVERIFY(begun.writer);
    const std::atomic<bool> stop = false;
    QCOMPARE(performMoves(order, emptied, *begun.writer, stop).end, RunEnd::Completed);
    QVERIFY(!testsupport::exists(root + "/music/A"));

    testsupport::writeFile(root + "/music", "A", "in the way");
    const NewestUndo blocked = undoNewestRun(history, root + "/none");
    QCOMPARE(blocked.status, NewestUndo::Status::Undone);
    QCOMPARE(blocked.result.notUndone, 1);

    QVERIFY(::unlink((root + "/music/A").c_str()) == 0);
    const NewestUndo later = undoNewestRun(history, root + "/none");
    QCOMPARE(later.status, NewestUndo::Status::Undone);
    QCOMPARE(later.result.movedBack, 1);
    QCOMPARE(testsupport::readFile(from), QByteArray("song"));
}

// A swap runs as a > temporary, b > a, temporary > b. When undo cannot
// take the last step back (here: a file stands at the temporary name), the
// first step's file has not come back to the temporary name either: it must
// be kept with the others, not judged changed and forgotten, or the next
// undo would leave a file under the hidden temporary name.
void MoveRunTest::aSwapHeldBackByItsLastStepIsKeptWhole()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const std::string a = testsupport::writeFile(root, "a.mp3", "first");
    const std::string b = testsupport::writeFile(root, "b.mp3", "second");
    std::vector<MoveRequest> requests;
    for (const auto& [from, to] : { std::pair(a, b), std::pair(b, a) }) {
        const auto identity = fs::identityOf(from);
        requests.push_back({ { from, to, *identity }, { identity->device, FsNames::Posix, false, "test" } });
    }
    const OrderedMoves order = orderMoves(requests);
    QCOMPARE(order.steps.size(), std::size_t(3));
    const RunHistory history(root + "/state/runs");
    RunRecord record;
    record.kind = RunKind::Moves;
    record.origin = RunOrigin::CommandLine;
    record.batch = kMarkBatch;
    auto begun = history.begin(record, order.steps);
    QVERIFY(begun.writer);
    const std::atomic<bool> stop = false;
    QCOMPARE(performMoves(order, {}, *begun.writer, stop).end, RunEnd::Completed);

    const std::string temporary = order.steps.front().to;
    testsupport::writeFile(parentOf(temporary), baseOf(temporary), "in the way");
    const NewestUndo blocked = undoNewestRun(history, root + "/none");
    QCOMPARE(blocked.result.movedBack, 0);
    QCOMPARE(blocked.result.remaining.size(), std::size_t(3));

    QVERIFY(::unlink(temporary.c_str()) == 0);
    const NewestUndo later = undoNewestRun(history, root + "/none");
    QCOMPARE(later.result.notUndone, 0);
    QCOMPARE(testsupport::readFile(a), QByteArray("first"));
    QCOMPARE(testsupport::readFile(b), QByteArray("second"));
    QVERIFY(!testsupport::exists(temporary));
}

// Ctrl-C while the moves wait for a mark (the progress line was slow to
// write: a terminal paused with Ctrl-S, a slow ssh link) must end the run,
// not leave it hanging with its threads waiting for a mark never written.
void MoveRunTest::ctrlCWhileMovesWaitForAMarkEndsTheRun()
{
    Library library;
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        auto begun = library.begin();
        std::atomic<bool> stop = false;
        bool slow = true;
        if (begun.writer) {
            performMoves(library.order, {}, *begun.writer, stop, [&](std::size_t) {
                if (!slow)
                    return;
                slow = false;
                usleep(1500 * 1000); // the moves run on up to the end of their batch and wait for a mark
                stop = true; // Ctrl-C, seen once the progress line is written
            });
        }
        _exit(0);
    }
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 100 && !ended; ++waited) {
        ended = waitpid(child, &status, WNOHANG) == child;
        if (!ended)
            usleep(100 * 1000);
    }
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    QVERIFY2(ended, "the run still hangs 10 s after Ctrl-C");
    const NewestUndo undo = undoNewestRun(library.history(), library.root + "/none");
    QCOMPARE(undo.result.notUndone, 0);
    library.verifyAllBack();
}

QTEST_GUILESS_MAIN(MoveRunTest)
#include "tst_moverun.moc"
