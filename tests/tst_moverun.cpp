#include "platform/filenames.h"
#include "rename/journalfolder.h"
#include "rename/moverun.h"
#include "rename/undo.h"
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

QTEST_GUILESS_MAIN(MoveRunTest)
#include "tst_moverun.moc"
