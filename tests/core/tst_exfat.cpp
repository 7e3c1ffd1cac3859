#include "platform/fs/fsops.h"
#include "rename/history/journal.h"
#include "rename/folderrun/renamerun.h"
#include "rename/history/undo.h"
#include "testsupport/mp3fixture.h"

#include <QFile>
#include <QProcess>
#include "testsupport/tempdir.h"
#include <QTest>

#include <cerrno>
#include <unistd.h>

using namespace zentrio;

namespace {

// Runs a command; its output, or nullopt when it failed.
std::optional<QString> run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

// Case-only renames on a volume that ignores letter case, first as a
// decision on this machine's own file system, then on a real exFAT image
// mounted through exfat-fuse where the machine allows it.
class ExfatTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void anotherFileOfTheOtherSpellingIsNeverReplaced();
    void caseOnlyRenameOnExfat();
    void undoOnExfatMatchesByNameAndSize();
    void renamesWithoutNoReplaceNeverReplace();

private:
    testsupport::TempDir m_dir;
    QString m_loop;
    QString m_mount;
    QString m_skipReason;
};

void ExfatTest::initTestCase()
{
    if (::geteuid() != 0) {
        m_skipReason = "mounting an exFAT image needs root";
        return;
    }
    const QString image = m_dir.path() + "/exfat.img";
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(8 * 1024 * 1024)) {
        m_skipReason = "cannot make the image file";
        return;
    }
    file.close();
    if (!run("mkfs.exfat", { image })) {
        m_skipReason = "mkfs.exfat (exfatprogs) is not available";
        return;
    }
    const auto loop = run("losetup", { "-f", "--show", image });
    if (!loop) {
        m_skipReason = "no loop device can be set up here";
        return;
    }
    m_loop = *loop;
    const QString mount = m_dir.path() + "/mnt";
    QDir().mkpath(mount);
    if (!run("mount.exfat-fuse", { m_loop, mount })) {
        m_skipReason = "exfat-fuse cannot mount here (no FUSE?)";
        return;
    }
    m_mount = mount;
}

void ExfatTest::cleanupTestCase()
{
    if (!m_mount.isEmpty())
        run("umount", { m_mount });
    if (!m_loop.isEmpty())
        run("losetup", { "-d", m_loop });
}

void ExfatTest::anotherFileOfTheOtherSpellingIsNeverReplaced()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    testsupport::writeFile(folder, "song.mp3", "mine");
    testsupport::writeFile(folder, "Song.mp3", "another file");
    QCOMPARE(fs::renameNoReplace(folder + "/song.mp3", folder + "/Song.mp3"), fs::RenameResult::TargetExists);
    QCOMPARE(testsupport::readFile(folder + "/Song.mp3"), QByteArray("another file"));
    QCOMPARE(testsupport::readFile(folder + "/song.mp3"), QByteArray("mine"));
}

void ExfatTest::caseOnlyRenameOnExfat()
{
    if (m_mount.isEmpty())
        QSKIP(qPrintable(m_skipReason));
    const std::string folder = m_mount.toStdString();
    testsupport::writeFile(folder, "song.mp3", "the song");
    testsupport::writeFile(folder, "b.mp3", "another");
    QVERIFY(!fs::inodesIdentifyFiles(folder));
    QCOMPARE(fs::renameNoReplace(folder + "/song.mp3", folder + "/Song.mp3"), fs::RenameResult::Renamed);
    QVERIFY(fs::hasExactEntry(folder, "Song.mp3"));
    QVERIFY(!fs::hasExactEntry(folder, "song.mp3"));
    QCOMPARE(testsupport::readFile(folder + "/Song.mp3"), QByteArray("the song"));
    // A different file that really holds the name still stops the rename.
    QCOMPARE(fs::renameNoReplace(folder + "/Song.mp3", folder + "/B.mp3"), fs::RenameResult::TargetExists);
    QCOMPARE(testsupport::readFile(folder + "/b.mp3"), QByteArray("another"));
}

void ExfatTest::undoOnExfatMatchesByNameAndSize()
{
    if (m_mount.isEmpty())
        QSKIP(qPrintable(m_skipReason));
    const std::string folder = m_mount.toStdString() + "/undo";
    QDir().mkpath(QString::fromStdString(folder));
    testsupport::writeTagged(folder, "one.mp3", "One"); // only the case changes
    testsupport::writeTagged(folder, "two.mp3", "Zwei");
    std::vector<PlannedRename> planned;
    NameOptions options;
    options.numbered = false;
    const auto result = runRename(folder, { { true, "one.mp3" }, { true, "two.mp3" } }, options, {}, TagSource::Id3v1,
        [&](const std::vector<PlannedRename>& renames) { planned = renames; });
    QCOMPARE(result.renamed, 2);
    QVERIFY(fs::hasExactEntry(folder, "One.mp3"));
    QVERIFY(fs::hasExactEntry(folder, "Zwei.mp3"));
    UndoMoves request;
    for (const PlannedRename& r : planned)
        request.moves.push_back({ folder + "/" + r.oldName, folder + "/" + r.newName, r.identity });
    request.recognition.inodesIdentify = fs::inodesIdentifyFiles(folder);
    const MovesUndone outcome = undoMoves(request);
    QCOMPARE(outcome.movedBack, 2);
    QVERIFY(fs::hasExactEntry(folder, "one.mp3"));
    QVERIFY(fs::hasExactEntry(folder, "two.mp3"));
}

// exfat-fuse has no RENAME_NOREPLACE: the target is claimed by a file
// created exclusively before the rename, never looked at and then replaced.
void ExfatTest::renamesWithoutNoReplaceNeverReplace()
{
    if (m_mount.isEmpty())
        QSKIP(qPrintable(m_skipReason));
    const std::string folder = m_mount.toStdString() + "/exclusive";
    QDir().mkpath(QString::fromStdString(folder));
    testsupport::writeFile(folder, "a.mp3", "mine");
    testsupport::writeFile(folder, "B.mp3", "another file");
    QCOMPARE(fs::renameExclusive(folder + "/a.mp3", folder + "/b.mp3"), EEXIST);
    QCOMPARE(testsupport::readFile(folder + "/B.mp3"), QByteArray("another file"));
    QCOMPARE(fs::renameExclusive(folder + "/a.mp3", folder + "/c.mp3"), 0);
    QCOMPARE(testsupport::readFile(folder + "/c.mp3"), QByteArray("mine"));
    QCOMPARE(fs::renameExclusive(folder + "/a.mp3", folder + "/d.mp3"), ENOENT);
    QCOMPARE(testsupport::everyEntry(folder), (std::vector<std::string> { "B.mp3", "c.mp3" }));
}

QTEST_GUILESS_MAIN(ExfatTest)
#include "tst_exfat.moc"
