#include "playlist/m3u/playlist.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::readFile;
using testsupport::writeFile;

class PlaylistTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsMp3NamesInByteOrder();
    void sameFolderGivesTheSameBytes();
    void emptyFolderGivesAnEmptyFile();
    void aFailedWriteKeepsTheOldPlaylist();
};

void PlaylistTest::listsMp3NamesInByteOrder()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    for (const char* name : { "SONG.MP3", "b.mp3", "A.mp3", "c.Mp3", "playlist.m3u", "x.mp3.bak", "caf\xE9.mp3" })
        writeFile(d, name, "x");
    QVERIFY(::mkdir((d + "/sub.mp3").c_str(), 0755) == 0); // folders named like MP3s are listed too
    QVERIFY(writePlaylist(d));
    QCOMPARE(readFile(d + "/playlist.m3u"),
        QByteArray("A.mp3\r\nSONG.MP3\r\nb.mp3\r\nc.Mp3\r\ncaf\xE9.mp3\r\nsub.mp3\r\n"));
}

void PlaylistTest::sameFolderGivesTheSameBytes()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    writeFile(d, "a.mp3", "x");
    QVERIFY(writePlaylist(d));
    const QByteArray first = readFile(d + "/playlist.m3u");
    QVERIFY(writePlaylist(d));
    QCOMPARE(readFile(d + "/playlist.m3u"), first);
    QCOMPARE(first, QByteArray("a.mp3\r\n"));
}

void PlaylistTest::emptyFolderGivesAnEmptyFile()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    QVERIFY(writePlaylist(d));
    QVERIFY(testsupport::exists(d + "/playlist.m3u"));
    QCOMPARE(readFile(d + "/playlist.m3u").size(), 0);
}

void PlaylistTest::aFailedWriteKeepsTheOldPlaylist()
{
    testsupport::TempDir dir;
    const std::string d = dir.path().toStdString();
    writeFile(d, "playlist.m3u", "my list\r\n");
    for (int i = 0; i < 3001; ++i)
        writeFile(d, std::to_string(i) + ".mp3", "");
    QVERIFY(!writePlaylist(d));
    QCOMPARE(readFile(d + "/playlist.m3u"), QByteArray("my list\r\n"));
    QVERIFY(!writePlaylist(d + "/vanished"));
}

QTEST_GUILESS_MAIN(PlaylistTest)
#include "tst_playlist.moc"
