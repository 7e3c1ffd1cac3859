#include "platform/fs/fsops.h"
#include "rename/folderrun/renamerun.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <unistd.h>

using namespace zentrio;
using testsupport::readFile;
using testsupport::writeTagged;

class RenameRunTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void renameNeverReplacesAFile();
    void renamingToTheSameNameSucceeds();
    void aSecondNameForTheSameFileIsNotReplaced();
    void runningNumbersCountCheckedMp3Items();
    void progressAfterEveryCheckedItem();
    void aFailureStopsTheRunAtThatFile();
    void runIsRepeatable();
};

void RenameRunTest::renameNeverReplacesAFile()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    const std::string a = testsupport::writeFile(d, "a.mp3", "AAAA");
    const std::string b = testsupport::writeFile(d, "b.mp3", "BBBB");
    QCOMPARE(fs::renameNoReplace(a, b), fs::RenameResult::TargetExists);
    QCOMPARE(readFile(a), QByteArray("AAAA"));
    QCOMPARE(readFile(b), QByteArray("BBBB"));
    QCOMPARE(fs::renameNoReplace(a, d + "/c.mp3"), fs::RenameResult::Renamed);
    QVERIFY(!testsupport::exists(a));
    QCOMPARE(fs::renameNoReplace(a, d + "/d.mp3"), fs::RenameResult::Failed); // a is gone
}

void RenameRunTest::renamingToTheSameNameSucceeds()
{
    testsupport::TempDir dir;
    const std::string a = testsupport::writeFile(dir.path().toStdString(), "a.mp3", "AAAA");
    QCOMPARE(fs::renameNoReplace(a, a), fs::RenameResult::Renamed);
    QCOMPARE(readFile(a), QByteArray("AAAA"));
}

void RenameRunTest::aSecondNameForTheSameFileIsNotReplaced()
{
    // Two names of one file look like a case-only rename on a case-blind file
    // system; the rename goes through a temporary name and still refuses.
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    const std::string a = testsupport::writeFile(d, "a.mp3", "AAAA");
    QVERIFY(::link(a.c_str(), (d + "/A.mp3").c_str()) == 0);
    QCOMPARE(fs::renameNoReplace(a, d + "/A.mp3"), fs::RenameResult::TargetExists);
    QCOMPARE(readFile(a), QByteArray("AAAA"));
    QCOMPARE(readFile(d + "/A.mp3"), QByteArray("AAAA"));
    QCOMPARE(fs::listFolder(d)->size(), size_t(2)); // no temporary left behind
}

void RenameRunTest::runningNumbersCountCheckedMp3Items()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    std::vector<RunItem> items;
    for (int i = 1; i <= 11; ++i) {
        const std::string name = "f" + std::to_string(100 + i) + ".mp3";
        writeTagged(d, name, "Song " + QByteArray::number(i));
        items.push_back({ i != 2, name }); // the second is not checked
    }
    testsupport::writeFile(d, "f103.mp3", testsupport::audio(300)); // no tag: keeps its name, takes a number
    items.insert(items.begin(), RunItem { true, "notes.txt" }); // checked, but no MP3: no number
    NameOptions options;
    options.pattern = Pattern::Track;
    const RenameRunResult result = runRename(d, items, options, {});
    QCOMPARE(result.outcome, RenameRunResult::Outcome::Completed);
    QCOMPARE(result.renamed, 9);
    QVERIFY(testsupport::exists(d + "/01-TRACK01.mp3")); // f101
    QVERIFY(testsupport::exists(d + "/f102.mp3")); // unchecked
    QVERIFY(testsupport::exists(d + "/f103.mp3")); // number 2, no tag
    QVERIFY(testsupport::exists(d + "/03-TRACK03.mp3")); // f104
    QVERIFY(testsupport::exists(d + "/09-TRACK09.mp3")); // f110
    QVERIFY(testsupport::exists(d + "/10-TRACK10.mp3")); // f111
}

void RenameRunTest::progressAfterEveryCheckedItem()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    testsupport::writeFile(d, "a.mp3", testsupport::audio(300));
    writeTagged(d, "b.mp3", "B");
    std::vector<int> seen;
    runRename(d, { { true, "a.mp3" }, { false, "x.mp3" }, { true, "b.mp3" } }, NameOptions {},
        [&](int renamed) { seen.push_back(renamed); });
    QCOMPARE(seen, (std::vector<int> { 0, 1 }));
}

void RenameRunTest::aFailureStopsTheRunAtThatFile()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    writeTagged(d, "a.mp3", "Same", "X");
    writeTagged(d, "b.mp3", "Same", "X");
    writeTagged(d, "c.mp3", "Other", "X");
    testsupport::writeFile(d, "d.mp3", testsupport::audio(256));
    NameOptions options;
    options.pattern = Pattern::ArtistSong;
    options.numbered = false;
    const std::vector<RunItem> all { { true, "a.mp3" }, { true, "b.mp3" }, { true, "c.mp3" } };
    QCOMPARE(runRename(d, all, options, {}).outcome, RenameRunResult::Outcome::TargetExists);
    QVERIFY(testsupport::exists(d + "/X - Same.mp3"));
    QVERIFY(testsupport::exists(d + "/b.mp3"));
    QVERIFY(testsupport::exists(d + "/c.mp3")); // later items untouched

    const RenameRunResult shortFile = runRename(d, { { true, "d.mp3" }, { true, "c.mp3" } }, options, {});
    QCOMPARE(shortFile.outcome, RenameRunResult::Outcome::Failed);
    QVERIFY(testsupport::exists(d + "/c.mp3"));
    QCOMPARE(runRename(d, { { true, "gone.mp3" } }, options, {}).outcome, RenameRunResult::Outcome::Failed);
    QCOMPARE(runRename(d, { { false, "c.mp3" } }, options, {}).outcome, RenameRunResult::Outcome::NothingChecked);
}

void RenameRunTest::runIsRepeatable()
{
    // A second run over files that already carry their new names renames nothing and fails nothing.
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    writeTagged(d, "01-A.mp3", "A");
    writeTagged(d, "02-B.mp3", "B");
    const RenameRunResult again = runRename(d, { { true, "01-A.mp3" }, { true, "02-B.mp3" } }, NameOptions {}, {});
    QCOMPARE(again.outcome, RenameRunResult::Outcome::Completed);
    QCOMPARE(again.renamed, 2);
    QVERIFY(testsupport::exists(d + "/01-A.mp3") && testsupport::exists(d + "/02-B.mp3"));
}

QTEST_GUILESS_MAIN(RenameRunTest)
#include "tst_renamerun.moc"
