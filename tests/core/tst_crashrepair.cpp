#include "platform/fs/digest.h"
#include "platform/fs/fsops.h"
#include "platform/fs/patchfile.h"
#include "platform/fs/spliceinplace.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;
using testsupport::readFile;

namespace {

// What happens between the crash copy and the end of the process that
// made it, and what happens to the file before the next start.
enum class Written { Nothing, All, Half };
enum class Since { Nothing, RewrittenInPlace, CopiedOver, FolderGone, CopyDamaged };

// A write of 8 KiB at the file's start and an appended 128-byte record,
// cut short after `written` by the process's end.
void crashDuring(const std::string& path, const std::string& copies, Written written, bool inodesIdentify)
{
    const std::vector<fs::Patch> patches { { 0, std::string(8192, 'N') }, { 20000, std::string(128, 'R') } };
    const pid_t child = ::fork();
    if (child == 0) {
        // The file as the write found it; where inodes do not last, it is known by its path.
        const auto identity = fs::identityOf(path);
        const fs::Expectation found { identity->device, identity->inode, inodesIdentify, 20000, {}, Digest().value() };
        fs::patchFiles({ { path, patches, std::nullopt, found } }, copies, [&] {
            const int out = ::open(path.c_str(), O_WRONLY);
            if (written == Written::All) {
                (void)::pwrite(out, patches[0].bytes.data(), 8192, 0);
                (void)::pwrite(out, patches[1].bytes.data(), 128, 20000);
            } else if (written == Written::Half) {
                (void)::pwrite(out, patches[0].bytes.data(), 4096 + 512, 0);
            }
            ::_exit(0);
        });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

// A tag region of `region` bytes rewritten as one of `region + growth`
// bytes, the rest of the file moved after it, cut short by the process's
// end once `written` bytes of the new content are on the disk (all of them:
// cut to the new length too).
QByteArray crashDuringSplice(const std::string& path, const std::string& copies, int region, int growth, int written)
{
    const QByteArray before = readFile(path);
    const fs::Splice splice { std::string(static_cast<std::size_t>(region + growth), 'T'), region, before.size(), {} };
    const QByteArray after = QByteArray::fromStdString(splice.prefix) + before.mid(region);
    const pid_t child = ::fork();
    if (child == 0) {
        const auto identity = fs::identityOf(path);
        const fs::Expectation found { identity->device, identity->inode, true, before.size(), {}, Digest().value() };
        fs::spliceInPlace(path, splice, found, copies, [&] {
            const int out = ::open(path.c_str(), O_WRONLY);
            (void)::pwrite(out, after.constData(), static_cast<std::size_t>(std::min<int>(written, after.size())), 0);
            if (written >= after.size())
                (void)::ftruncate(out, after.size());
            ::_exit(0);
        });
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return after;
}

} // namespace

// The start-up repair of crash copies: it puts old bytes back only into a
// file that holds the old or the new bytes of the write, waits for a file
// it cannot reach, sets aside the copy of a file changed in any other way,
// and never touches a copy a running writer holds.
class CrashRepairTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theRepairActsOnlyOnOldOrNewBytes_data();
    void theRepairActsOnlyOnOldOrNewBytes();
    void aFileOutOfReachWaitsForTheNextStart();
    void aCopyHeldByARunningWriterIsLeftAlone();
    void aSpliceCutShortIsPutBackWhole_data();
    void aSpliceCutShortIsPutBackWhole();
};

void CrashRepairTest::theRepairActsOnlyOnOldOrNewBytes_data()
{
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("since");
    QTest::addColumn<bool>("inodesIdentify");
    QTest::addColumn<bool>("restored"); // else set aside, the file as it was left
    QTest::newRow("unchanged since the crash") << int(Written::Nothing) << int(Since::Nothing) << true << true;
    QTest::newRow("holds the new bytes") << int(Written::All) << int(Since::Nothing) << true << true;
    QTest::newRow("torn") << int(Written::Half) << int(Since::Nothing) << true << true;
    QTest::newRow("rewritten in place by another program") << int(Written::All) << int(Since::RewrittenInPlace) << true << false;
    QTest::newRow("copied over, same bytes: another file") << int(Written::All) << int(Since::CopiedOver) << true << false;
    QTest::newRow("copied over where inodes do not last: path and bytes decide")
        << int(Written::Half) << int(Since::CopiedOver) << false << true;
    QTest::newRow("deleted from its folder") << int(Written::All) << int(Since::FolderGone) << true << false;
    QTest::newRow("a damaged copy: kept aside, never applied") << int(Written::Half) << int(Since::CopyDamaged) << true << false;
}

void CrashRepairTest::theRepairActsOnlyOnOldOrNewBytes()
{
    QFETCH(int, written);
    QFETCH(int, since);
    QFETCH(bool, inodesIdentify);
    QFETCH(bool, restored);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string copies = folder + "/copies";
    const QByteArray before = testsupport::audio(20000);
    const std::string path = testsupport::writeFile(folder, "f.mp3", before);
    crashDuring(path, copies, Written(written), inodesIdentify);
    QCOMPARE(testsupport::everyEntry(copies).size(), std::size_t(1));

    QByteArray left = readFile(path);
    if (Since(since) == Since::RewrittenInPlace) {
        left.replace(100, 50, QByteArray(50, 'X'));
        testsupport::writeFile(folder, "f.mp3", left);
    } else if (Since(since) == Since::CopiedOver) {
        ::unlink(path.c_str());
        testsupport::writeFile(folder, "f.mp3", left);
    } else if (Since(since) == Since::FolderGone) {
        ::unlink(path.c_str());
    } else if (Since(since) == Since::CopyDamaged) {
        // A count no copy can hold: read as damage, never as a reason to stop.
        const std::string copy = copies + "/" + testsupport::everyEntry(copies).front();
        QByteArray text = readFile(copy);
        text.replace(text.indexOf("region "), 7, "region 0 0 0 9223372036854775807 ");
        testsupport::writeFile(copies, testsupport::everyEntry(copies).front(), text);
    }
    struct stat seen {};
    QCOMPARE(::stat(path.c_str(), &seen) == 0, Since(since) != Since::FolderGone);
    const fs::RepairOutcome outcome = fs::restoreInterruptedPatches(copies);
    QCOMPARE(outcome.restored, restored ? 1 : 0);
    struct stat now {};
    if (Written(written) == Written::Nothing && ::stat(path.c_str(), &now) == 0) // a write that never reached it: not even its time changes
        QCOMPARE(now.st_mtim.tv_nsec + now.st_mtim.tv_sec * 1000000000ll, seen.st_mtim.tv_nsec + seen.st_mtim.tv_sec * 1000000000ll);
    QCOMPARE(outcome.setAside, restored ? 0 : 1);
    QCOMPARE(outcome.waiting, 0);
    if (Since(since) != Since::FolderGone)
        QCOMPARE(readFile(path), restored ? before : left);
    const auto entries = testsupport::everyEntry(copies);
    QCOMPARE(entries.size(), std::size_t(restored ? 0 : 1));
    if (!restored)
        QVERIFY(QByteArray::fromStdString(entries.front()).startsWith("aside-"));
    QCOMPARE(fs::restoreInterruptedPatches(copies).restored, 0); // settled once
}

// A disk that is not there at the next start (its folder is missing): the
// copy waits, and the start after it puts the old bytes back.
void CrashRepairTest::aFileOutOfReachWaitsForTheNextStart()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const std::string stick = root + "/stick";
    QCOMPARE(::mkdir(stick.c_str(), 0700), 0);
    const QByteArray before = testsupport::audio(20000);
    const std::string path = testsupport::writeFile(stick, "f.mp3", before);
    crashDuring(path, root + "/copies", Written::Half, true);
    QCOMPARE(::rename(stick.c_str(), (root + "/unplugged").c_str()), 0);

    auto outcome = fs::restoreInterruptedPatches(root + "/copies");
    QCOMPARE(outcome.waiting, 1);
    QCOMPARE(outcome.restored + outcome.setAside, 0);
    QCOMPARE(::rename((root + "/unplugged").c_str(), stick.c_str()), 0);
    // Plugged in again: no new write lands on the file before a start has
    // put its old bytes back, since that start would undo it.
    const QByteArray torn = readFile(path);
    QVERIFY(!fs::patchFile(path, { { 0, "new" } }, root + "/copies"));
    QCOMPARE(readFile(path), torn);
    outcome = fs::restoreInterruptedPatches(root + "/copies");
    QCOMPARE(outcome.restored, 1);
    QCOMPARE(readFile(path), before);
    QVERIFY(testsupport::everyEntry(root + "/copies").empty());
    QVERIFY(fs::patchFile(path, { { 0, "new" } }, root + "/copies"));
}

// A second Zentrio starting while the first writes: the first one's copy
// is locked, so the second neither puts its old bytes back nor deletes it.
void CrashRepairTest::aCopyHeldByARunningWriterIsLeftAlone()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "f.mp3", testsupport::audio(20000));
    int ready[2];
    int finish[2];
    QCOMPARE(::pipe(ready), 0);
    QCOMPARE(::pipe(finish), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const bool written = fs::patchFile(path, { { 0, std::string(8192, 'N') } }, folder + "/copies", [&] {
            char c = 0;
            (void)::write(ready[1], "r", 1);
            (void)::read(finish[0], &c, 1);
        });
        ::_exit(written ? 0 : 1);
    }
    char c = 0;
    QCOMPARE(::read(ready[0], &c, 1), ssize_t(1));
    const auto outcome = fs::restoreInterruptedPatches(folder + "/copies");
    QCOMPARE(outcome.restored + outcome.waiting + outcome.setAside, 0);
    QCOMPARE(testsupport::everyEntry(folder + "/copies").size(), std::size_t(1));
    QVERIFY(::write(finish[1], "f", 1) == 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(readFile(path).left(8192), QByteArray(8192, 'N'));
    QVERIFY(testsupport::everyEntry(folder + "/copies").empty());
}

// A tag that grows (or shrinks) is written over the file itself, the audio
// moved after it, behind a copy of the whole file: a crash at any point
// leaves a file the next start puts back, bytes and length, however long
// it is; a file changed otherwise since keeps its copy aside.
void CrashRepairTest::aSpliceCutShortIsPutBackWhole_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("growth");
    QTest::addColumn<int>("written"); // bytes of the new content; kAll: all of them, and cut
    QTest::addColumn<int>("since");
    QTest::addColumn<QString>("outcome");
    constexpr int kAll = 1 << 30;
    QTest::newRow("grows: nothing written yet") << 20000 << 3000 << 0 << int(Since::Nothing) << "restored";
    QTest::newRow("grows: torn halfway") << 20000 << 3000 << 8192 << int(Since::Nothing) << "restored";
    QTest::newRow("grows: all written, the file longer") << 20000 << 3000 << kAll << int(Since::Nothing) << "restored";
    QTest::newRow("shrinks: torn halfway") << 20000 << -1500 << 8192 << int(Since::Nothing) << "restored";
    QTest::newRow("shrinks: written and cut") << 20000 << -1500 << kAll << int(Since::Nothing) << "restored";
    QTest::newRow("3 MiB, torn in its second slice") << 3 << 5000 << (3 << 19) << int(Since::Nothing) << "restored";
    QTest::newRow("rewritten in place by another program")
        << 20000 << 3000 << 8192 << int(Since::RewrittenInPlace) << "set aside";
    QTest::newRow("copied over, same bytes: another file")
        << 20000 << 3000 << kAll << int(Since::CopiedOver) << "set aside";
    QTest::newRow("deleted from its folder") << 20000 << 3000 << 8192 << int(Since::FolderGone) << "set aside";
    QTest::newRow("a damaged copy: kept aside, never applied")
        << 20000 << 3000 << 8192 << int(Since::CopyDamaged) << "set aside";
}

void CrashRepairTest::aSpliceCutShortIsPutBackWhole()
{
    QFETCH(int, length);
    QFETCH(int, growth);
    QFETCH(int, written);
    QFETCH(int, since);
    QFETCH(QString, outcome);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string copies = folder + "/copies";
    const QByteArray before = testsupport::audio(length < 1000 ? length << 20 : length);
    const std::string path = testsupport::writeFile(folder, "f.mp3", before);
    crashDuringSplice(path, copies, 4000, growth, written);
    QCOMPARE(testsupport::everyEntry(copies).size(), std::size_t(1));
    QVERIFY(fs::filesWaitingForRepair(copies).contains(path));

    QByteArray left = readFile(path);
    if (Since(since) == Since::RewrittenInPlace) {
        left.replace(100, 50, QByteArray(50, 'X'));
        testsupport::writeFile(folder, "f.mp3", left);
    } else if (Since(since) == Since::CopiedOver) {
        ::unlink(path.c_str());
        testsupport::writeFile(folder, "f.mp3", left);
    } else if (Since(since) == Since::FolderGone) {
        ::unlink(path.c_str());
    } else if (Since(since) == Since::CopyDamaged) {
        const std::string copy = copies + "/" + testsupport::everyEntry(copies).front();
        QCOMPARE(::truncate(copy.c_str(), 5000), 0); // its old bytes cut short
    }
    const fs::RepairOutcome repaired = fs::restoreInterruptedPatches(copies);
    const bool restored = outcome == "restored";
    QCOMPARE(repaired.restored, restored ? 1 : 0);
    QCOMPARE(repaired.setAside, restored ? 0 : 1);
    if (Since(since) != Since::FolderGone)
        QVERIFY(readFile(path) == (restored ? before : left));
    const auto entries = testsupport::everyEntry(copies);
    QCOMPARE(entries.size(), std::size_t(restored ? 0 : 1));
    if (!restored)
        QVERIFY(QByteArray::fromStdString(entries.front()).startsWith("aside-"));
}

QTEST_GUILESS_MAIN(CrashRepairTest)
#include "tst_crashrepair.moc"
