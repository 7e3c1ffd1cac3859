#include "platform/fs/filenames.h"
#include "tags/read/folderscan.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::writeTagged;

class FolderScanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAreSortedByTheirBytes();
    void onlyMp3NamesAreListed();
    void aFileThatCannotBeReadEndsTheScan_data();
    void aFileThatCannotBeReadEndsTheScan();
    void atMost3000Files();
    void aNameThatIsNotUtf8IsListedAndRead();
    void aVanishedFolderFailsTheListing();
    void namesRoundTripThroughText();
};

static std::vector<std::string> namesOf(const FolderScan& scan)
{
    std::vector<std::string> names;
    for (const ScanRow& row : scan.rows)
        names.push_back(row.name);
    return names;
}

void FolderScanTest::namesAreSortedByTheirBytes()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    for (const char* name : { "b.mp3", "A.mp3", "a.mp3", "10.mp3", "9.mp3" })
        writeTagged(folder, name, name);
    const FolderScan scan = scanFolder(folder);
    QCOMPARE(scan.outcome, FolderScan::Outcome::Scanned);
    QCOMPARE(namesOf(scan), (std::vector<std::string> { "10.mp3", "9.mp3", "A.mp3", "a.mp3", "b.mp3" }));
    QCOMPARE(scan.rows[2].tag.song, QString("A.mp3"));
    QCOMPARE(scan.rows[2].tag.artist, QString("Artist"));
}

void FolderScanTest::onlyMp3NamesAreListed()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    for (const char* name : { "Song.MP3", "song.Mp3", "song.mp3.bak", "mp3", "x.m3u", ".hidden.mp3", "a.txt" })
        writeTagged(folder, name, "s");
    const FolderScan scan = scanFolder(folder);
    QCOMPARE(scan.outcome, FolderScan::Outcome::Scanned);
    QCOMPARE(namesOf(scan), (std::vector<std::string> { "Song.MP3", "song.Mp3" }));
}

void FolderScanTest::aFileThatCannotBeReadEndsTheScan_data()
{
    QTest::addColumn<QString>("badName");
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<int>("rowsKept");
    QTest::newRow("empty x.mp3 between a and z") << "x.mp3" << false << 1;
    QTest::newRow("subfolder old.mp3") << "old.mp3" << true << 1;
    QTest::newRow("empty file sorted first") << "0.mp3" << false << 0;
}

void FolderScanTest::aFileThatCannotBeReadEndsTheScan()
{
    QFETCH(QString, badName);
    QFETCH(bool, asFolder);
    QFETCH(int, rowsKept);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    writeTagged(folder, "a.mp3", "a");
    writeTagged(folder, "z.mp3", "z");
    if (asFolder)
        QVERIFY(::mkdir((folder + "/" + badName.toStdString()).c_str(), 0755) == 0);
    else
        testsupport::writeFile(folder, badName.toStdString(), {});
    const FolderScan scan = scanFolder(folder);
    QCOMPARE(scan.outcome, FolderScan::Outcome::ReadFailed);
    QCOMPARE(static_cast<int>(scan.rows.size()), rowsKept);
}

void FolderScanTest::atMost3000Files()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray bytes = testsupport::audio(300) + testsupport::id3v1("s", "a", "l");
    for (int i = 0; i < 3000; ++i)
        testsupport::writeFile(folder, std::to_string(i) + ".mp3", bytes);
    QCOMPARE(scanFolder(folder).rows.size(), size_t(3000));
    testsupport::writeFile(folder, "3000.mp3", bytes);
    const FolderScan scan = scanFolder(folder);
    QCOMPARE(scan.outcome, FolderScan::Outcome::TooMany);
    QVERIFY(scan.rows.empty());
}

void FolderScanTest::aNameThatIsNotUtf8IsListedAndRead()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string latin1 = "caf\xE9.mp3";
    writeTagged(folder, latin1, "Caf\xE9");
    const FolderScan scan = scanFolder(folder);
    QCOMPARE(scan.outcome, FolderScan::Outcome::Scanned);
    QCOMPARE(namesOf(scan), std::vector<std::string> { latin1 });
    QCOMPARE(scan.rows[0].tag.song, QString::fromUtf8("Café"));
    QCOMPARE(nameForDisplay(latin1), QString::fromUtf8("caf\uFFFD.mp3"));
}

void FolderScanTest::aVanishedFolderFailsTheListing()
{
    QCOMPARE(scanFolder("/nonexistent/zentrio/folder").outcome, FolderScan::Outcome::ListingFailed);
}

void FolderScanTest::namesRoundTripThroughText()
{
    for (const std::string& name : { std::string("plain.mp3"), std::string("\xC5\x91z.mp3"), std::string("a\xFF\xC3.mp3"),
             std::string("\xED\xA0\x80.mp3") }) {
        QCOMPARE(textToName(nameToText(name)), name);
    }
    QCOMPARE(folderPath("/"), std::string("/"));
    QCOMPARE(joinPath("/music", "a.mp3"), std::string("/music/a.mp3"));
    QCOMPARE(joinPath("/", "a.mp3"), std::string("/a.mp3"));
}

QTEST_GUILESS_MAIN(FolderScanTest)
#include "tst_folderscan.moc"
