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
    void theFormatsChooseTheListedNames_data();
    void theFormatsChooseTheListedNames();
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

void FolderScanTest::theFormatsChooseTheListedNames_data()
{
    QTest::addColumn<QString>("formats");
    QTest::addColumn<QStringList>("listed");
    // MP3 alone lists as it always did, a subfolder named like an MP3 too.
    QTest::newRow("mp3 alone") << "mp3" << QStringList { "a.MP3", "g.mp3" };
    QTest::newRow("every format, no subfolder") << "all" << QStringList { "B.FLAC", "a.MP3", "c.ogg", "f.m4a" };
    QTest::newRow("flac alone") << "flac" << QStringList { "B.FLAC" };
}

void FolderScanTest::theFormatsChooseTheListedNames()
{
    QFETCH(QString, formats);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    for (const char* name : { "a.MP3", "B.FLAC", "c.ogg", "d.mp3.bak", "e.txt", "f.m4a", "flac", ".h.ogg" })
        testsupport::writeFile(folder, name, "x");
    for (const char* name : { "g.mp3", "h.flac" })
        QVERIFY(::mkdir((folder + "/" + name).c_str(), 0755) == 0);
    std::string unknown;
    const AudioFormats taken
        = formats == "all" ? AudioFormats::all() : *parseFormatList(formats.toStdString(), unknown);
    const Mp3Listing listing = listAudioNames(folder, taken);
    QCOMPARE(listing.outcome, Mp3Listing::Outcome::Listed);
    QStringList listed;
    for (const std::string& name : listing.names)
        listed << QString::fromStdString(name);
    QTEST(listed, "listed");
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
