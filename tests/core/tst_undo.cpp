#include "platform/fs/filenames.h"
#include "rename/history/journal.h"
#include "rename/folderrun/renamerun.h"
#include "rename/history/undo.h"
#include "testsupport/legacyjournal.h"
#include "testsupport/mp3fixture.h"

#include <QRandomGenerator>
#include "testsupport/tempdir.h"
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;

namespace {


// A folder of tagged files f1000.mp3... whose songs compose "Song N.mp3".
struct TaggedFolder {
    testsupport::TempDir dir;
    std::string path = dir.path().toStdString();
    std::vector<RunItem> items;
    std::vector<QByteArray> contents;

    explicit TaggedFolder(int files)
    {
        for (int i = 0; i < files; ++i) {
            const std::string name = "f" + std::to_string(1000 + i) + ".mp3";
            const QByteArray bytes = testsupport::audio(300 + i) + testsupport::id3v1("Song " + QByteArray::number(i), "A", "B");
            testsupport::writeFile(path, name, bytes);
            items.push_back({ true, name });
            contents.push_back(bytes);
        }
    }

    // Every file under its old name with its bytes, and nothing else.
    void verifyAllBack() const
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < items.size(); ++i) {
            QCOMPARE(testsupport::readFile(path + "/" + items[i].name), contents[i]);
            names.push_back(items[i].name);
        }
        QCOMPARE(testsupport::everyEntry(path), names);
    }
};

NameOptions unnumbered()
{
    NameOptions options;
    options.numbered = false;
    return options;
}

// A run that writes its journal record first, as the window's run does.
RenameRunResult journaledRun(const TaggedFolder& folder, const RenameJournal& journal)
{
    return runRename(folder.path, folder.items, unnumbered(), {}, TagSource::Id3v1,
        [&](const std::vector<PlannedRename>& renames) {
            testsupport::addLegacyRecord(journal, { folder.path, fs::inodesIdentifyFiles(folder.path), renames });
        });
}

// Undo as the programs make it of a run in this journal (the one of earlier
// versions, which undo still reads once the newer history is done).
struct UndoOutcome {
    int renamedBack = 0;
    int notUndone = 0;
};
UndoOutcome undoNewest(const RenameJournal& journal)
{
    const NewestUndo undo = undoNewestRun(RunHistory(journal.path() + ".no-history"), journal.path());
    return { undo.result.movedBack, undo.result.notUndone };
}

// The record's renames undone by the current code, files known as it says.
UndoOutcome undoRecord(const JournalRecord& record)
{
    UndoMoves request;
    for (const PlannedRename& r : record.renames)
        request.moves.push_back({ joinPath(record.folder, r.oldName), joinPath(record.folder, r.newName), r.identity });
    request.recognition.inodesIdentify = record.inodesIdentify;
    const MovesUndone undone = undoMoves(request);
    return { undone.movedBack, undone.notUndone };
}

} // namespace

class UndoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void undoAfterAFullRunAndAfterAHalfRun();
    void aFileChangedByHandIsLeftAlone();
    void undoMatchesBySizeWhereInodesDoNotIdentifyFiles();
    void theJournalKeepsTheNewestRecordsAndSurvivesDamage();
    void undoAfterAKilledRun_data();
    void undoAfterAKilledRun();

private:
    testsupport::TempDir m_state;
    RenameJournal journal() const { return RenameJournal(m_state.path().toStdString() + "/state/zentrio/journal"); }
};

void UndoTest::undoAfterAFullRunAndAfterAHalfRun()
{
    TaggedFolder full(5);
    QCOMPARE(journaledRun(full, journal()).renamed, 5);
    QVERIFY(testsupport::exists(full.path + "/Song 0.mp3"));
    const UndoOutcome done = undoNewest(journal());
    QCOMPARE(done.renamedBack, 5);
    QCOMPARE(done.notUndone, 0);
    full.verifyAllBack();
    QCOMPARE(journal().load().state, RenameJournal::State::Empty);

    // The run stops at the third file, whose new name is taken.
    TaggedFolder half(5);
    testsupport::writeFile(half.path, "Song 2.mp3", "in the way");
    QCOMPARE(journaledRun(half, journal()).outcome, RenameRunResult::Outcome::TargetExists);
    const UndoOutcome back = undoNewest(journal());
    QCOMPARE(back.renamedBack, 2);
    QCOMPARE(back.notUndone, 0);
    QVERIFY(::unlink((half.path + "/Song 2.mp3").c_str()) == 0);
    half.verifyAllBack();
}

void UndoTest::aFileChangedByHandIsLeftAlone()
{
    TaggedFolder folder(3);
    journaledRun(folder, journal());
    // One file renamed by hand, and another file put under a renamed name.
    QVERIFY(::rename((folder.path + "/Song 0.mp3").c_str(), (folder.path + "/mine.mp3").c_str()) == 0);
    QVERIFY(::unlink((folder.path + "/Song 1.mp3").c_str()) == 0);
    testsupport::writeFile(folder.path, "Song 1.mp3", testsupport::audio(301));
    const UndoOutcome outcome = undoNewest(journal());
    QCOMPARE(outcome.renamedBack, 1);
    QCOMPARE(outcome.notUndone, 2);
    QVERIFY(testsupport::exists(folder.path + "/mine.mp3"));
    QCOMPARE(testsupport::readFile(folder.path + "/Song 1.mp3"), testsupport::audio(301));
    QCOMPARE(testsupport::readFile(folder.path + "/f1002.mp3"), folder.contents[2]);
    QCOMPARE(journal().load().state, RenameJournal::State::Empty); // nothing there can come back later
}

void UndoTest::undoMatchesBySizeWhereInodesDoNotIdentifyFiles()
{
    TaggedFolder folder(2);
    const auto identity = fs::identityOf(folder.path + "/f1000.mp3");
    QVERIFY(::rename((folder.path + "/f1000.mp3").c_str(), (folder.path + "/new.mp3").c_str()) == 0);
    PlannedRename moved { "f1000.mp3", "new.mp3", *identity };
    moved.identity.inode += 1; // as a volume that numbers each lookup anew would
    PlannedRename replaced { "f1001.mp3", "other.mp3", *fs::identityOf(folder.path + "/f1001.mp3") };
    QVERIFY(::rename((folder.path + "/f1001.mp3").c_str(), (folder.path + "/other.mp3").c_str()) == 0);
    testsupport::writeFile(folder.path, "other.mp3", "a different size");
    const UndoOutcome outcome = undoRecord({ folder.path, false, { moved, replaced } });
    QCOMPARE(outcome.renamedBack, 1);
    QCOMPARE(outcome.notUndone, 1);
    QCOMPARE(testsupport::readFile(folder.path + "/f1000.mp3"), folder.contents[0]);
}

void UndoTest::theJournalKeepsTheNewestRecordsAndSurvivesDamage()
{
    const RenameJournal j = journal();
    for (int i = 0; i < 25; ++i)
        QVERIFY(testsupport::addLegacyRecord(j, { "/music/\xFF" + std::to_string(i), true, { { "a\nb.mp3", "c d.mp3", { 1, 2, 3 } } } }));
    auto contents = j.load();
    QCOMPARE(contents.records.size(), kJournalRecords);
    QCOMPARE(contents.records.front().folder, std::string("/music/\xFF") + "5");
    QCOMPARE(contents.records.back().renames.front().oldName, std::string("a\nb.mp3"));

    const QByteArray badRecord = "zentrio rename journal 1\nrecord 2f 1 1\nrename zz 61 1 2 3 4\nend\n";
    for (const QByteArray& damage : { QByteArray("garbage"), badRecord }) {
        testsupport::writeFile(m_state.path().toStdString() + "/state/zentrio", "journal", damage);
        const auto damaged = j.load();
        QCOMPARE(damaged.state, RenameJournal::State::Damaged);
        QVERIFY(j.repair(damaged));
        QVERIFY(testsupport::addLegacyRecord(j, { "/music", true, { { "x.mp3", "y.mp3", { 1, 2, 3 } } } }));
        QCOMPARE(j.load().state, RenameJournal::State::Loaded);
        QCOMPARE(j.load().records.size(), size_t(1)); // begun anew; the damaged file set aside
    }
    // An append cut short by a crash is dropped, and the next record follows it whole.
    const std::string cut = formatJournal(j.load().records) + "record 2f 1 2\nrename 61 62 1 2 3 4\n";
    testsupport::writeFile(m_state.path().toStdString() + "/state/zentrio", "journal", QByteArray::fromStdString(cut));
    QCOMPARE(j.load().state, RenameJournal::State::Loaded);
    QCOMPARE(j.load().records.size(), size_t(1));
    QVERIFY(testsupport::addLegacyRecord(j, { "/music", true, { { "x.mp3", "y.mp3", { 1, 2, 3 } } } }));
    QCOMPARE(j.load().records.size(), size_t(2));
}

void UndoTest::undoAfterAKilledRun_data()
{
    QTest::addColumn<int>("delayMicroseconds");
    QTest::newRow("at once") << 0;
    QRandomGenerator random(20261207);
    for (int i = 0; i < 5; ++i)
        QTest::addRow("moment %d", i) << int(random.bounded(500, 20000));
}

// A child process renames 300 files and is killed at some moment; a fresh
// process (this one) undoes what the journal says, and every file is back.
void UndoTest::undoAfterAKilledRun()
{
    QFETCH(int, delayMicroseconds);
    TaggedFolder folder(300);
    testsupport::TempDir state;
    const RenameJournal killedJournal(state.path().toStdString() + "/journal");
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        journaledRun(folder, killedJournal);
        _exit(0);
    }
    usleep(static_cast<useconds_t>(delayMicroseconds));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const auto contents = killedJournal.load();
    QVERIFY(contents.state != RenameJournal::State::Damaged);
    if (!contents.records.empty()) {
        const UndoOutcome outcome = undoRecord(contents.records.back());
        QCOMPARE(outcome.notUndone, 0);
        qInfo("renamed back %d of 300", outcome.renamedBack);
    }
    folder.verifyAllBack();
}

QTEST_GUILESS_MAIN(UndoTest)
#include "tst_undo.moc"
