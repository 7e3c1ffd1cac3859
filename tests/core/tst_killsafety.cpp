#include "rename/folderrun/renamerun.h"
#include "tags/write/tagfilewrite.h"
#include "tags/journal/tagjournal.h"
#include "tags/write/tagwrite.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QRandomGenerator>
#include "testsupport/tempdir.h"
#include <QTest>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;

// A rename run killed at any moment leaves every file whole, under either its
// old or its new name, and nothing else in the folder; a tag write that
// grows a big file, killed at any moment, leaves a file that the next start
// gives its old bytes back, or that holds its new ones whole.
class KillSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedRunLosesNothing_data();
    void killedRunLosesNothing();
    void killedGrowingTagWriteIsPutBack_data();
    void killedGrowingTagWriteIsPutBack();
};

namespace {

constexpr int kFiles = 300;


} // namespace

void KillSafetyTest::killedRunLosesNothing_data()
{
    QTest::addColumn<int>("delayMicroseconds");
    QTest::newRow("at once") << 0;
    QRandomGenerator random(20261207);
    for (int i = 0; i < 6; ++i)
        QTest::newRow(qPrintable(QString("moment %1").arg(i))) << int(random.bounded(200, 12000));
}

void KillSafetyTest::killedRunLosesNothing()
{
    QFETCH(int, delayMicroseconds);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<RunItem> items;
    std::vector<QByteArray> contents;
    std::vector<std::string> newNames;
    NameOptions options;
    options.pattern = Pattern::ArtistSong;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(1000 + i) + ".mp3";
        const QByteArray song = "Song " + QByteArray::number(i);
        const QByteArray bytes = testsupport::audio(300 + i) + testsupport::id3v1(song, "Artist", "Album");
        testsupport::writeFile(folder, name, bytes);
        items.push_back({ true, name });
        contents.push_back(bytes);
        newNames.push_back(composeNewName({ true, song, "Artist", "Album" }, options, i + 1).toStdString());
    }

    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        runRename(folder, items, options, {});
        _exit(0);
    }
    usleep(static_cast<useconds_t>(delayMicroseconds));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    int renamed = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string before = folder + "/" + items[i].name;
        const std::string after = folder + "/" + newNames[i];
        const bool old = testsupport::exists(before);
        const bool moved = testsupport::exists(after);
        QVERIFY2(old != moved, items[i].name.c_str());
        QCOMPARE(testsupport::readFile(old ? before : after), contents[i]);
        renamed += moved;
    }
    QCOMPARE(testsupport::everyEntry(folder).size(), size_t(kFiles));
    qInfo("killed after %d of %d renames", renamed, kFiles);
}

void KillSafetyTest::killedGrowingTagWriteIsPutBack_data()
{
    QTest::addColumn<bool>("onceCopied"); // the delay counts from the crash copy's naming, not the start
    QTest::addColumn<int>("delayMicroseconds");
    QTest::newRow("at once") << false << 0;
    QTest::newRow("as the copy is named") << true << 0;
    QRandomGenerator random(20261208);
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(QString("moment %1").arg(i))) << false << int(random.bounded(500, 60000));
    for (int i = 0; i < 6; ++i)
        QTest::newRow(qPrintable(QString("while writing %1").arg(i))) << true << int(random.bounded(100, 20000));
}

void KillSafetyTest::killedGrowingTagWriteIsPutBack()
{
    QFETCH(bool, onceCopied);
    QFETCH(int, delayMicroseconds);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(folder + "/state"));
    const QByteArray before = testsupport::id3v2(3, { { "Title" }, { "Artist" }, { "Album" } })
        + testsupport::audio(12 << 20) + testsupport::id3v1("Title", "Artist", "Album");
    const std::string path = testsupport::writeFile(folder, "big.mp3", before);
    const std::string twin = testsupport::writeFile(folder, "twin.mp3", before);
    const TagJournal journal(defaultTagJournalPath());
    const TagValues grows { { TagField::Album, QString(3000, 'x') } };
    QCOMPARE(writeTagBatch({ { twin, grows } }, TagSource::Id3v2First, 2026, journal).written, 1);
    const QByteArray after = testsupport::readFile(twin);
    struct stat st { };
    QCOMPARE(::stat(path.c_str(), &st), 0);
    const ino_t inode = st.st_ino;

    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        writeTagBatch({ { path, grows } }, TagSource::Id3v2First, 2026, journal);
        _exit(0);
    }
    int status = 0;
    bool ended = false;
    if (onceCopied) {
        for (int wait = 0; wait < 200000 && !ended; ++wait) {
            const auto names = testsupport::everyEntry(tagCopyFolder());
            if (std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.starts_with("patch-"); }))
                break;
            ended = waitpid(child, &status, WNOHANG) == child;
            usleep(20);
        }
    }
    if (!ended) {
        usleep(static_cast<useconds_t>(delayMicroseconds));
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }

    const fs::RepairOutcome repaired = repairInterruptedTagWrites();
    const QByteArray now = testsupport::readFile(path);
    QVERIFY2(now == before || now == after,
        qPrintable(QString("%1 bytes, %2 copy set aside").arg(now.size()).arg(repaired.setAside)));
    QCOMPARE(::stat(path.c_str(), &st), 0);
    QCOMPARE(st.st_ino, inode); // written over, never replaced
    QCOMPARE(repaired.setAside + repaired.waiting, 0);
    QVERIFY(testsupport::everyEntry(tagCopyFolder()).empty());
    qInfo("%s", repaired.restored ? "put back" : now == after ? "written whole" : "not yet begun");
}

QTEST_GUILESS_MAIN(KillSafetyTest)
#include "tst_killsafety.moc"
