#include "platform/fs/filenames.h"
#include "platform/fs/setaside.h"
#include "rename/history/journal.h"
#include "rename/history/journalfolder.h"
#include "rename/moves/moverun.h"
#include "rename/playlists/playlistfollow.h"
#include "rename/history/runtrace.h"
#include "rename/history/undo.h"
#include "testsupport/legacyjournal.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QTest>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

using namespace zentrio;

namespace {

RunRecord sampleRecord()
{
    RunRecord record;
    record.kind = RunKind::Moves;
    record.origin = RunOrigin::CommandLine;
    record.time = 1765000000;
    record.batch = 2;
    record.madeFolders = { "/lib/new folder" };
    record.emptiedFolders = { { "/music/old%", 0750 } };
    for (const char* name : { "a b.mp3", "c\nd.mp3", "\xFF\xFE.mp3", "100%.mp3", "e.mp3" })
        record.moves.push_back(
            { std::string("/music/old%/") + name, std::string("/lib/new folder/") + name, { 1, 2, 3, 4 } });
    return record;
}

struct Stat {
    ino_t inode = 0;
    std::int64_t modified = 0;
    bool operator==(const Stat&) const = default;
};

Stat statOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return { st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec };
}

// The record a library run of `order` writes before its first move.
RunRecord recordOf(const OrderedMoves& order, const std::vector<EmptiedFolder>& emptied)
{
    RunRecord record;
    record.kind = RunKind::Moves;
    record.batch = kMarkBatch;
    record.madeFolders = order.madeFolders;
    record.emptiedFolders = emptied;
    record.moves = order.steps;
    return record;
}

} // namespace

// The rename journal's history: each run's record read back as written, its
// marks, what a crash leaves, the newest runs kept without rewriting older
// ones, one history for runs of any kind, and undo by the record.
class RunJournalTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordsAreReadBack_data();
    void recordsAreReadBack();
    void theHistoryKeepsTheNewestRunsWithoutRewritingThem();
    void aRunStillGoingOnIsNotUndone();
    void runsOfThePreviousJournalComeAfterTheHistory();
    void undoTakesBackMovesAndFolders_data();
    void undoTakesBackMovesAndFolders();
    void movesThatNeverBeganAreNotLookedFor();
    void aRunCutShortIsUndoneAsFarAsItGot_data();
    void aRunCutShortIsUndoneAsFarAsItGot();
    void aFileReplacedBeforeItsMoveStopsTheRun();
    void aRunThatCannotBeUndoneCanBeDropped();
    void aDamagedRecordIsKeptBeforeItsUndo();
    void aFileZentrioRewroteIsStillUndone_data();
    void aFileZentrioRewroteIsStillUndone();
    void marksAreReadBackAfterATornAppend_data();
    void marksAreReadBackAfterATornAppend();
    void aPlaylistComesBackWhereverTheRunStopped_data();
    void aPlaylistComesBackWhereverTheRunStopped();
    void aDamagedRecordLosesOnlyItsDamagedLines_data();
    void aDamagedRecordLosesOnlyItsDamagedLines();
};

void RunJournalTest::recordsAreReadBack_data()
{
    QTest::addColumn<QByteArray>("after"); // appended to the whole record
    QTest::addColumn<int>("cutAt"); // bytes cut from the record's end (before `after`)
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("begun"); // moves undo looks at
    using S = ParsedRun::State;
    QTest::newRow("no mark yet: the first batch") << QByteArray() << 0 << int(S::Begun) << 2;
    QTest::newRow("marked") << QByteArray("done 2\ndone 3\n") << 0 << int(S::Begun) << 5;
    QTest::newRow("a torn mark is ignored") << QByteArray("done 2\ndone 4") << 0 << int(S::Begun) << 4;
    QTest::newRow("ended early") << QByteArray("done 2\nend 3 failed\n") << 0 << int(S::Begun) << 3;
    QTest::newRow("cut before begin") << QByteArray() << 7 << int(S::Unfinished) << 0;
    QTest::newRow("cut inside the header") << QByteArray() << 600 << int(S::Unfinished) << 0;
    QTest::newRow("a damaged move") << QByteArray("x") << -1 << int(S::Damaged) << 0;
}

void RunJournalTest::recordsAreReadBack()
{
    QFETCH(QByteArray, after);
    QFETCH(int, cutAt);
    QFETCH(int, state);
    QFETCH(int, begun);
    const RunRecord record = sampleRecord();
    std::string text = formatRecord(record);
    if (cutAt > 0)
        text.resize(text.size() - std::min<std::size_t>(text.size(), static_cast<std::size_t>(cutAt)));
    if (cutAt < 0)
        text.replace(text.find("move "), 5, "mvoe ");
    const ParsedRun parsed = parseRun(text + after.toStdString());
    QCOMPARE(int(parsed.state), state);
    if (parsed.state != ParsedRun::State::Begun)
        return;
    QCOMPARE(parsed.progress.begunMoves(parsed.record), std::size_t(begun));
    QCOMPARE(parsed.record.moves.size(), record.moves.size());
    for (std::size_t i = 0; i < record.moves.size(); ++i) {
        QCOMPARE(parsed.record.moves[i].from, record.moves[i].from);
        QCOMPARE(parsed.record.moves[i].to, record.moves[i].to);
    }
    QCOMPARE(parsed.record.emptiedFolders.front().path, record.emptiedFolders.front().path);
    QCOMPARE(parsed.record.emptiedFolders.front().mode, 0750u);
    QCOMPARE(parsed.record.madeFolders, record.madeFolders);
}

void RunJournalTest::theHistoryKeepsTheNewestRunsWithoutRewritingThem()
{
    testsupport::TempDir state;
    const RunHistory history(state.path().toStdString() + "/zentrio/runs");
    std::vector<std::string> paths;
    for (int i = 0; i < 25; ++i) {
        auto begun = history.begin(sampleRecord());
        QVERIFY2(begun.writer, begun.error.c_str());
        QVERIFY(begun.writer->finish(5, RunEnd::Completed));
        paths.push_back(begun.writer->path());
        if (i == 20) {
            const Stat kept = statOf(paths[10]);
            QVERIFY(history.begin(sampleRecord()).writer);
            QCOMPARE(statOf(paths[10]), kept); // an older run's file is never written again
            paths.push_back(history.files().back().path);
            ++i;
        }
    }
    const auto files = history.files();
    QCOMPARE(files.size(), kJournalRecords);
    QCOMPARE(files.back().path, paths.back());
    QCOMPARE(files.front().path, paths[paths.size() - kJournalRecords]);
    QVERIFY(files.front().number < files.back().number);
    QCOMPARE(
        QFileInfo(QString::fromStdString(history.folder())).permissions() & QFile::ReadOther, QFile::Permissions());
    const auto summary = readRunSummary(files.back().path);
    QVERIFY(summary);
    QCOMPARE(summary->moves, std::size_t(5));
    QCOMPARE(summary->progress.end, std::optional(RunEnd::Completed));
}

void RunJournalTest::aRunStillGoingOnIsNotUndone()
{
    testsupport::TempDir dir;
    const std::string music = dir.path().toStdString();
    testsupport::writeTagged(music, "a.mp3", "One");
    const RunHistory history(music + "/state/runs");
    auto begun = recordFolderRun(history, music, { { "a.mp3", "b.mp3", *fs::identityOf(music + "/a.mp3") } });
    QVERIFY(begun.writer);
    QVERIFY(fs::renameNoReplace(music + "/a.mp3", music + "/b.mp3") == fs::RenameResult::Renamed);
    QCOMPARE(undoNewestRun(history, music + "/none").status, NewestUndo::Status::InProgress);
    QVERIFY(testsupport::exists(music + "/b.mp3"));
    begun.writer->finish(1, RunEnd::Completed);
    const NewestUndo undo = undoNewestRun(history, music + "/none");
    QCOMPARE(undo.status, NewestUndo::Status::Undone);
    QCOMPARE(undo.kind, RunKind::Folder);
    QCOMPARE(undo.result.movedBack, 1);
    QVERIFY(testsupport::exists(music + "/a.mp3"));
    QVERIFY(history.files().empty());
}

void RunJournalTest::runsOfThePreviousJournalComeAfterTheHistory()
{
    testsupport::TempDir dir;
    const std::string music = dir.path().toStdString();
    for (const char* name : { "old.mp3", "new.mp3" })
        testsupport::writeTagged(music, name, "x");
    const RenameJournal legacy(music + "/state/journal");
    QVERIFY(testsupport::addLegacyRecord(legacy, { music, true, { { "old.mp3", "old2.mp3", *fs::identityOf(music + "/old.mp3") } } }));
    QVERIFY(::rename((music + "/old.mp3").c_str(), (music + "/old2.mp3").c_str()) == 0);
    const RunHistory history(music + "/state/runs");
    auto begun = recordFolderRun(history, music, { { "new.mp3", "new2.mp3", *fs::identityOf(music + "/new.mp3") } });
    QVERIFY(::rename((music + "/new.mp3").c_str(), (music + "/new2.mp3").c_str()) == 0);
    begun.writer->finish(1, RunEnd::Completed);

    QCOMPARE(undoNewestRun(history, legacy.path(), true).result.back.front().to, music + "/new2.mp3");
    QVERIFY(testsupport::exists(music + "/new2.mp3")); // a dry run changes nothing
    QCOMPARE(undoNewestRun(history, legacy.path()).result.movedBack, 1);
    QVERIFY(testsupport::exists(music + "/new.mp3"));
    QCOMPARE(undoNewestRun(history, legacy.path()).result.movedBack, 1);
    QVERIFY(testsupport::exists(music + "/old.mp3"));
    QCOMPARE(undoNewestRun(history, legacy.path()).status, NewestUndo::Status::Nothing);
}

void RunJournalTest::undoTakesBackMovesAndFolders_data()
{
    QTest::addColumn<unsigned>("mode"); // the emptied folder's
    QTest::addColumn<unsigned>("umask"); // undo's
    QTest::newRow("its own mode") << 0750u << 022u;
    // A library shared by a group: the set-group-ID bit and the group's
    // write stay, whatever undo's umask.
    QTest::newRow("set-group-ID and group-writable, under a strict umask") << 02775u << 077u;
}

// A run that made folders and emptied one: undo makes the emptied folder
// again (with its permissions) and removes the folders made.
void RunJournalTest::undoTakesBackMovesAndFolders()
{
    QFETCH(unsigned, mode);
    QFETCH(unsigned, umask);
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    QVERIFY(QDir().mkpath(QString::fromStdString(root + "/music/Album")));
    ::chmod((root + "/music/Album").c_str(), mode);
    const QByteArray song = testsupport::audio(300) + testsupport::id3v1("Song", "A", "B");
    testsupport::writeFile(root + "/music/Album", "01.mp3", song);
    testsupport::writeFile(root + "/music/Album", "cover.jpg", "picture");
    OrderedMoves order;
    order.madeFolders = { root + "/lib", root + "/lib/A" };
    for (const char* name : { "01.mp3", "cover.jpg" })
        order.steps.push_back(
            { root + "/music/Album/" + name, root + "/lib/A/" + name, *fs::identityOf(root + "/music/Album/" + name) });
    const std::vector<EmptiedFolder> emptied { { root + "/music/Album", mode } };
    const RunHistory history(root + "/state/runs");
    RunRecord record = recordOf(order, emptied);
    auto begun = history.begin(record);
    QVERIFY(begun.writer);
    const std::atomic<bool> stop = false;
    const MovesDone done = performMoves(order, emptied, *begun.writer, stop);
    QCOMPARE(done.end, RunEnd::Completed);
    QCOMPARE(done.foldersRemoved, 1);
    QVERIFY(!testsupport::exists(root + "/music/Album"));
    QCOMPARE(testsupport::readFile(root + "/lib/A/01.mp3"), song);

    const mode_t before = ::umask(umask);
    const NewestUndo undo = undoNewestRun(history, root + "/none");
    ::umask(before);
    QCOMPARE(undo.result.movedBack, 2);
    QCOMPARE(undo.result.foldersMade, 1);
    QCOMPARE(undo.result.foldersRemoved, 2);
    QCOMPARE(testsupport::readFile(root + "/music/Album/01.mp3"), song);
    struct stat st { };
    QCOMPARE(::stat((root + "/music/Album").c_str(), &st), 0);
    QCOMPARE(unsigned(st.st_mode & 07777), mode);
    QVERIFY(!testsupport::exists(root + "/lib"));
}

// Files recognised by name and size (FAT, exFAT): a run killed before its
// later moves must not have undo take another file of the same size that
// sits at one of their targets.
void RunJournalTest::movesThatNeverBeganAreNotLookedFor()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    RunRecord record;
    record.kind = RunKind::Moves;
    record.inodesIdentify = false;
    record.batch = 1;
    for (const char* name : { "a", "b", "c" }) {
        testsupport::writeFile(root, std::string(name) + ".mp3", "same size");
        record.moves.push_back(
            { root + "/" + name + ".mp3", root + "/" + name + "2.mp3", *fs::identityOf(root + "/" + name + ".mp3") });
    }
    testsupport::writeFile(root, "c2.mp3", "other one"); // someone else's file, the same size
    const RunHistory history(root + "/state/runs");
    auto begun = history.begin(record);
    QVERIFY(fs::renameNoReplace(root + "/a.mp3", root + "/a2.mp3") == fs::RenameResult::Renamed);
    QVERIFY(begun.writer->mark(1));
    begun = {}; // killed: the second move may have begun, the third never did
    const NewestUndo undo = undoNewestRun(history, root + "/none");
    QCOMPARE(undo.result.movedBack, 1);
    QCOMPARE(undo.result.notUndone, 0);
    QCOMPARE(testsupport::readFile(root + "/c2.mp3"), QByteArray("other one"));
    QCOMPARE(testsupport::readFile(root + "/c.mp3"), QByteArray("same size"));
}

void RunJournalTest::aRunCutShortIsUndoneAsFarAsItGot_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("moves"); // "from>to"
    QTest::addColumn<bool>("caseless");
    QTest::addColumn<int>("made"); // steps made before the kill
    const QStringList swap { "a>b", "b>a" };
    for (const int made : { 0, 1, 2 })
        QTest::addRow("a swap, killed after %d of its 3 steps", made)
            << QStringList { "a", "b" } << swap << false << made;
    for (const int made : { 0, 1 })
        QTest::addRow("a chain, killed after %d of its 2 steps", made)
            << QStringList { "a", "b" } << QStringList { "a>b", "b>c" } << false << made;
    QTest::newRow("case only where case is ignored, killed between its steps")
        << QStringList { "song" } << QStringList { "song>Song" } << true << 1;
}

// Files known by size and time (as on FAT and exFAT), all of one size and
// one time: the hardest case. A run killed after some of its steps, with
// no mark written: undo puts back what was made and takes no file for
// another, so every name holds its own file again.
void RunJournalTest::aRunCutShortIsUndoneAsFarAsItGot()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, moves);
    QFETCH(bool, caseless);
    QFETCH(int, made);
    testsupport::TempDir dir;
    const std::string music = dir.path().toStdString() + "/music";
    QVERIFY(QDir().mkpath(QString::fromStdString(music)));
    const timespec sameTime[2] = { { 1700000000, 0 }, { 1700000000, 0 } };
    for (const QString& name : files) {
        const std::string path = testsupport::writeFile(music, name.toStdString(), "file " + name.toUtf8().left(1));
        QVERIFY(::utimensat(AT_FDCWD, path.c_str(), sameTime, 0) == 0);
    }
    std::vector<MoveRequest> requests;
    for (const QString& move : moves) {
        const std::string from = music + "/" + move.section('>', 0, 0).toStdString();
        const auto identity = fs::identityOf(from);
        QVERIFY(identity);
        requests.push_back({ { from, music + "/" + move.section('>', 1).toStdString(), *identity },
            { identity->device, FsNames::Posix, caseless, "test" } });
    }
    const OrderedMoves order = orderMoves(requests);
    QVERIFY(order.conflicts.empty() && order.steps.size() > std::size_t(made));
    RunRecord record;
    record.kind = RunKind::Moves;
    record.nameOnlyDevices = { requests.front().move.identity.device };
    record.batch = kMarkBatch;
    record.moves = order.steps;
    const RunHistory history(dir.path().toStdString() + "/state/runs");
    auto begun = history.begin(record);
    QVERIFY(begun.writer);
    for (int k = 0; k < made; ++k)
        QCOMPARE(fs::renameExclusive(order.steps[k].from, order.steps[k].to), 0);
    begun = {}; // killed
    const NewestUndo undo = undoNewestRun(history, dir.path().toStdString() + "/none");
    QCOMPARE(undo.status, NewestUndo::Status::Undone);
    QCOMPARE(undo.result.notUndone, 0);
    std::vector<std::string> names;
    for (const QString& name : files) {
        QCOMPARE(testsupport::readFile(music + "/" + name.toStdString()), "file " + name.toUtf8().left(1));
        names.push_back(name.toStdString());
    }
    QCOMPARE(testsupport::everyEntry(music), names);
    QVERIFY(history.files().empty());
}

// A file replaced at its old path after the plan was made is not moved:
// the run stops there, and its record says how far it got.
void RunJournalTest::aFileReplacedBeforeItsMoveStopsTheRun()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    OrderedMoves order;
    for (const char* name : { "a", "b" }) {
        const std::string from = testsupport::writeFile(root, std::string(name) + ".mp3", "planned");
        order.steps.push_back({ from, root + "/" + name + "2.mp3", *fs::identityOf(from) });
    }
    QVERIFY(::unlink((root + "/b.mp3").c_str()) == 0);
    testsupport::writeFile(root, "b.mp3", "another file, put there since");
    RunRecord record;
    record.kind = RunKind::Moves;
    record.batch = kMarkBatch;
    record.moves = order.steps;
    const RunHistory history(root + "/state/runs");
    auto begun = history.begin(record);
    const std::atomic<bool> stop = false;
    const MovesDone done = performMoves(order, {}, *begun.writer, stop);
    QCOMPARE(done.end, RunEnd::Failed);
    QCOMPARE(done.done, std::size_t(1));
    QVERIFY(QString::fromStdString(done.failure).contains("changed, moved or replaced since it was planned"));
    QCOMPARE(testsupport::readFile(root + "/b.mp3"), QByteArray("another file, put there since"));
    QVERIFY(!testsupport::exists(root + "/b2.mp3"));
    QCOMPARE(readRunSummary(history.files().back().path)->progress.done, std::size_t(1));
}

// A run whose file cannot come back (its old name taken for good) stays
// the newest until it is dropped; then the run before it is undone.
void RunJournalTest::aRunThatCannotBeUndoneCanBeDropped()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const RunHistory history(root + "/state/runs");
    for (const char* name : { "a", "c" }) {
        const std::string from = testsupport::writeTagged(root, std::string(name) + ".mp3", name);
        auto begun = recordFolderRun(
            history, root, { { std::string(name) + ".mp3", std::string(name) + "2.mp3", *fs::identityOf(from) } });
        QCOMPARE(fs::renameExclusive(from, root + "/" + name + "2.mp3"), 0);
        begun.writer->finish(1, RunEnd::Completed);
    }
    testsupport::writeFile(root, "c.mp3", "a new file under the old name");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const NewestUndo undo = undoNewestRun(history, root + "/none");
        QCOMPARE(undo.result.notUndone, 1);
        QCOMPARE(undo.result.remaining.size(), std::size_t(1));
    }
    const NewestUndo dropped = dropNewestRun(history, root + "/none");
    QCOMPARE(dropped.status, NewestUndo::Status::Dropped);
    QCOMPARE(dropped.result.remaining.front().to, root + "/c2.mp3");
    QCOMPARE(undoNewestRun(history, root + "/none").result.movedBack, 1);
    QVERIFY(testsupport::exists(root + "/a.mp3"));
    QVERIFY(testsupport::exists(root + "/c2.mp3"));
    QCOMPARE(undoNewestRun(history, root + "/none").status, NewestUndo::Status::Nothing);
}

// Undo of a damaged record rewrites or deletes the record's file, so it
// first keeps a copy of it; where no copy can be kept, nothing is undone.
void RunJournalTest::aDamagedRecordIsKeptBeforeItsUndo()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const RunHistory history(root + "/state/runs");
    std::vector<PlannedRename> renames;
    for (const char* name : { "a", "b" }) {
        const std::string from = testsupport::writeTagged(root, std::string(name) + ".mp3", name);
        renames.push_back({ std::string(name) + ".mp3", std::string(name) + "2.mp3", *fs::identityOf(from) });
    }
    auto begun = recordFolderRun(history, root, renames);
    for (const PlannedRename& r : renames)
        QCOMPARE(fs::renameExclusive(root + "/" + r.oldName, root + "/" + r.newName), 0);
    begun.writer->finish(2, RunEnd::Completed);
    const std::string runFile = history.files().back().path;
    QByteArray text = testsupport::readFile(runFile);
    const qsizetype lastMove = text.lastIndexOf("\nmove ");
    QVERIFY(lastMove > 0);
    text.insert(lastMove + 6, "garbage ");
    testsupport::writeFile(root + "/state/runs", baseOf(runFile), text);

    std::vector<std::string> blockers; // every name a copy could take in the next seconds
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now; t < now + 4; ++t) {
        for (int n = 0; n < 100; ++n)
            blockers.push_back(fs::damagedName(runFile, t, n));
    }
    for (const std::string& blocker : blockers)
        testsupport::writeFile(root + "/state/runs", baseOf(blocker), "another damaged record");
    const NewestUndo refused = undoNewestRun(history, root + "/none");
    QCOMPARE(refused.status, NewestUndo::Status::Unavailable);
    QCOMPARE(testsupport::readFile(runFile), text);
    QVERIFY(testsupport::exists(root + "/a2.mp3"));

    for (const std::string& blocker : blockers)
        QCOMPARE(::unlink(blocker.c_str()), 0);
    const NewestUndo undone = undoNewestRun(history, root + "/none");
    QCOMPARE(undone.result.movedBack, 1);
    QVERIFY(testsupport::exists(root + "/a.mp3"));
    QCOMPARE(testsupport::readFile(undone.keptAside), text);
}

void RunJournalTest::aFileZentrioRewroteIsStillUndone_data()
{
    QTest::addColumn<bool>("byInode"); // else by size and time, as on FAT
    QTest::addColumn<bool>("newFile"); // the rewrite gives the file a new inode
    QTest::addColumn<bool>("noted"); // Zentrio wrote it and told the history
    QTest::addColumn<int>("movedBack");
    QTest::newRow("by size and time, rewritten in place by Zentrio") << false << false << true << 1;
    QTest::newRow("by size and time, rewritten by another program") << false << false << false << 0;
    QTest::newRow("by inode, a new file from Zentrio") << true << true << true << 1;
    QTest::newRow("by inode, a new file from another program") << true << true << false << 0;
    QTest::newRow("by inode, rewritten in place by another program") << true << false << false << 1;
}

// A run's file found again where the run took it, then rewritten (a tag
// undo): the run's undo still takes it back when Zentrio noted the rewrite,
// and still refuses a file another program changed past recognition.
void RunJournalTest::aFileZentrioRewroteIsStillUndone()
{
    QFETCH(bool, byInode);
    QFETCH(bool, newFile);
    QFETCH(bool, noted);
    QFETCH(int, movedBack);
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const std::string from = testsupport::writeFile(root, "01 - One.mp3", testsupport::audio(300));
    const std::string to = root + "/01 One.mp3";
    const RunHistory history(root + "/state/runs");
    RunRecord record;
    record.kind = RunKind::Folder;
    record.time = std::time(nullptr);
    record.inodesIdentify = byInode;
    record.folder = root;
    record.moves = { { from, to, *fs::identityOf(from) } };
    auto begun = history.begin(record);
    QVERIFY(begun.writer && ::rename(from.c_str(), to.c_str()) == 0);
    QVERIFY(begun.writer->finish(1, RunEnd::Completed));
    QCOMPARE(whereNow(history, record.time, { from, root + "/other.mp3" }),
        (std::vector<std::string> { to, root + "/other.mp3" }));

    const fs::FileIdentity before = *fs::identityOf(to);
    const QByteArray bytes = testsupport::id3v1("Song", "A", "B") + testsupport::audio(300);
    if (newFile) {
        testsupport::writeFile(root, "new.mp3", bytes);
        QVERIFY(::rename((root + "/new.mp3").c_str(), to.c_str()) == 0);
    } else {
        testsupport::writeFile(root, "01 One.mp3", bytes);
        const timespec later[2] = { { 0, UTIME_OMIT }, { before.modified / 1000000000 + 5, 0 } };
        QVERIFY(::utimensat(AT_FDCWD, to.c_str(), later, 0) == 0);
    }
    if (noted)
        noteRewritten(history, { { to, before } });
    const NewestUndo undo = undoNewestRun(history, root + "/none");
    QCOMPARE(undo.result.movedBack, movedBack);
    QCOMPARE(testsupport::exists(from), movedBack == 1);
}

void RunJournalTest::marksAreReadBackAfterATornAppend_data()
{
    QTest::addColumn<QByteArray>("after"); // appended to the whole record
    QTest::addColumn<int>("cut"); // bytes torn from the end
    QTest::addColumn<int>("done");
    QTest::addColumn<QList<int>>("also");
    QTest::addColumn<bool>("ended");
    const QByteArray ended = "done 1\nalso 3\nalso 4\nend 1 failed\n";
    QTest::newRow("whole") << ended << 0 << 1 << QList<int> { 3, 4 } << true;
    QTest::newRow("torn in the end line") << ended << 5 << 1 << QList<int> { 3, 4 } << false;
    QTest::newRow("torn in an also line") << ended << 20 << 1 << QList<int> { 3 } << false;
    QTest::newRow("torn in a mark") << QByteArray("done 2\ndone 4\n") << 2 << 2 << QList<int> {} << false;
}

// An append cut short by a crash leaves the record and every whole line
// before it; the torn line counts for nothing.
void RunJournalTest::marksAreReadBackAfterATornAppend()
{
    QFETCH(QByteArray, after);
    QFETCH(int, cut);
    QFETCH(int, done);
    QFETCH(QList<int>, also);
    QFETCH(bool, ended);
    RunRecord record = sampleRecord();
    record.nameOnlyDevices = { 7, 9 };
    record.moves.front().identity.modified = 1765000000123456789;
    std::string text = formatRecord(record) + after.toStdString();
    text.resize(text.size() - static_cast<std::size_t>(cut));
    const ParsedRun parsed = parseRun(text);
    QCOMPARE(parsed.state, ParsedRun::State::Begun);
    QCOMPARE(parsed.record.moves.size(), record.moves.size());
    QCOMPARE(parsed.record.nameOnlyDevices, record.nameOnlyDevices);
    QCOMPARE(parsed.record.moves.front().identity.modified, record.moves.front().identity.modified);
    QCOMPARE(parsed.progress.done, std::size_t(done));
    QCOMPARE(QList<std::size_t>(parsed.progress.alsoDone.begin(), parsed.progress.alsoDone.end()),
        QList<std::size_t>(also.begin(), also.end()));
    QCOMPARE(parsed.progress.end.has_value(), ended);
}

void RunJournalTest::aDamagedRecordLosesOnlyItsDamagedLines_data()
{
    // The sample record's lines: 7 "counts 1 1 5", 8 made, 9 emptied, 10-14
    // the moves 0-4, 15 "begin", then the marks.
    QTest::addColumn<QByteArray>("marks");
    QTest::addColumn<QString>("edit"); // "spoil N", "merge N" (with the next line), "split N", "count"
    QTest::addColumn<QList<int>>("lostMoves");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<bool>("marksLost");
    const QByteArray marks = "done 2\nend 5 completed\n";
    QTest::newRow("a move spoilt") << marks << "spoil 12" << QList<int> { 2 } << QList<int> { 12 } << false;
    QTest::newRow("two moves merged") << marks << "merge 11" << QList<int> { 1, 2 } << QList<int> { 11 } << false;
    QTest::newRow("a move split") << marks << "split 12" << QList<int> { 2 } << QList<int> { 12, 13 } << false;
    QTest::newRow("begin spoilt") << marks << "spoil 15" << QList<int> {} << QList<int> { 15 } << false;
    QTest::newRow("begin merged into the last move")
        << marks << "merge 14" << QList<int> { 4 } << QList<int> { 14 } << false;
    QTest::newRow("a made folder spoilt") << marks << "spoil 8" << QList<int> {} << QList<int> { 8 } << false;
    QTest::newRow("a move merged, another split: nothing read at a wrong place")
        << marks << "merge 10 split 13" << QList<int> { 0, 1, 2, 3, 4 } << QList<int> { 10, 11, 12, 13, 14 } << false;
    QTest::newRow("a count beyond the moves")
        << marks << "count" << QList<int> { 5, 6, 7, 8 } << QList<int> { 7 } << false;
    QTest::newRow("a mark spoilt before a later done")
        << QByteArray("done 1\ndone 2\n") << "spoil 16" << QList<int> {} << QList<int> { 16 } << false;
    QTest::newRow("the end spoilt") << marks << "spoil 17" << QList<int> {} << QList<int> { 17 } << true;
    QTest::newRow("a playlist line that does not read hides no mark")
        << QByteArray("done 5\nplaylist %zz\nend 5 completed\n") << "" << QList<int> {} << QList<int> { 17 } << false;
}

// Every move read from a damaged record sits at its own place, so that the
// marks say of it what they said; what is lost is said, never guessed.
void RunJournalTest::aDamagedRecordLosesOnlyItsDamagedLines()
{
    QFETCH(QByteArray, marks);
    QFETCH(QString, edit);
    QFETCH(QList<int>, lostMoves);
    QFETCH(QList<int>, lines);
    QFETCH(bool, marksLost);
    const RunRecord record = sampleRecord();
    QByteArrayList text = (QByteArray::fromStdString(formatRecord(record)) + marks).split('\n');
    const QStringList edits = edit.split(' ');
    for (qsizetype e = 0; e + 1 < edits.size(); e += 2) {
        const int at = edits[e + 1].toInt() - 1;
        if (edits[e] == "spoil") {
            text[at].prepend('#');
        } else if (edits[e] == "merge") {
            text[at] += text.takeAt(at + 1);
        } else {
            text.insert(at + 1, text[at].mid(20));
            text[at].truncate(20);
        }
    }
    if (edit == "count")
        text[6] = "counts 1 1 9";
    const ParsedRun parsed = parseRun(text.join('\n').toStdString());
    QVERIFY(parsed.state == ParsedRun::State::Begun || parsed.salvaged);
    QCOMPARE(QList<std::size_t>(parsed.damage.lostMoves.begin(), parsed.damage.lostMoves.end()),
        QList<std::size_t>(lostMoves.begin(), lostMoves.end()));
    QCOMPARE(QList<std::size_t>(parsed.damage.lines.begin(), parsed.damage.lines.end()),
        QList<std::size_t>(lines.begin(), lines.end()));
    QCOMPARE(parsed.damage.marksLost, marksLost);
    for (std::size_t k = 0; k < record.moves.size(); ++k) {
        if (!parsed.damage.lost(k))
            QCOMPARE(parsed.record.moves[k].from, record.moves[k].from);
    }
}

QTEST_GUILESS_MAIN(RunJournalTest)
void RunJournalTest::aPlaylistComesBackWhereverTheRunStopped_data()
{
    QTest::addColumn<bool>("rewritten"); // its new bytes were renamed over it
    QTest::addColumn<int>("kept"); // -1: its whole record line; else the bytes of it that reached the disk
    QTest::newRow("rewritten") << true << -1;
    QTest::newRow("stopped before the rename over it") << false << -1;
    QTest::newRow("stopped in its record line") << false << 40;
}

// A carried playlist whose record holds its old bytes (with a line end,
// "%", a blank, a NUL and a byte that is not UTF-8): however far its
// rewrite got, undo brings back those bytes at the old path.
void RunJournalTest::aPlaylistComesBackWhereverTheRunStopped()
{
    QFETCH(bool, rewritten);
    QFETCH(int, kept);
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    QVERIFY(QDir().mkpath(QString::fromStdString(root + "/music/Album")));
    QByteArray playlist = "#EXTINF:1,%41 \xFF\r\n01.mp3\r\n";
    playlist.append('\0').append("x.mp3\n");
    testsupport::writeFile(root + "/music/Album", "01.mp3", testsupport::audio(300));
    testsupport::writeFile(root + "/music/Album", "list.m3u", playlist);
    OrderedMoves order;
    order.madeFolders = { root + "/lib", root + "/lib/A" };
    for (const auto& [from, to] : { std::pair { "01.mp3", "01 Song.mp3" }, std::pair { "list.m3u", "list.m3u" } })
        order.steps.push_back({ root + "/music/Album/" + from, root + "/lib/A/" + to,
            *fs::identityOf(root + "/music/Album/" + from) });
    const std::vector<EmptiedFolder> emptied { { root + "/music/Album", 0755 } };
    const RunHistory history(root + "/state/runs");
    RunRecord record = recordOf(order, emptied);
    auto begun = history.begin(record);
    QVERIFY(begun.writer);
    const std::atomic<bool> stop = false;
    performMoves(order, emptied, *begun.writer, stop, {}, {}, [&](const MovesDone& done) {
        if (rewritten) {
            QCOMPARE(followPlaylists(order.steps, done, *begun.writer).rewritten.size(), std::size_t(1));
            return;
        }
        const std::string line = formatPlaylistLine(
            { root + "/lib/A/list.m3u", root + "/music/Album/list.m3u", 1, playlist.toStdString() });
        begun.writer->note(kept < 0 ? line : line.substr(0, std::size_t(kept)));
    });
    QCOMPARE(testsupport::readFile(root + "/lib/A/list.m3u").contains("01 Song.mp3"), rewritten);

    const NewestUndo undo = undoNewestRun(history, root + "/none");
    QCOMPARE(undo.result.movedBack, 2);
    QCOMPARE(undo.playlistsRestored.size(), std::size_t(rewritten ? 1 : 0));
    QCOMPARE(testsupport::readFile(root + "/music/Album/list.m3u"), playlist);
    QVERIFY(!testsupport::exists(root + "/lib"));
}

#include "tst_runjournal.moc"
