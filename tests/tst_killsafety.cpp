#include "rename/renamerun.h"
#include "testsupport/mp3fixture.h"

#include <QRandomGenerator>
#include "testsupport/tempdir.h"
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;

// A rename run killed at any moment leaves every file whole, under either its
// old or its new name, and nothing else in the folder.
class KillSafetyTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedRunLosesNothing_data();
    void killedRunLosesNothing();
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

QTEST_GUILESS_MAIN(KillSafetyTest)
#include "tst_killsafety.moc"
