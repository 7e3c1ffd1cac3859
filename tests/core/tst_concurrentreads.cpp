#include "platform/fs/filenames.h"
#include "platform/fs/readpool.h"
#include "rename/folderrun/renamerun.h"
#include "tags/read/folderscan.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

namespace {

constexpr int kFiles = 40;

std::string nameAt(int i) { return "f" + std::to_string(100 + i) + ".mp3"; }

// A folder of tagged files with one entry at `broken` that cannot be read.
void makeFolder(const std::string& folder, int broken, const QString& kind)
{
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = nameAt(i);
        const std::string path = folder + "/" + name;
        if (i != broken)
            testsupport::writeTagged(folder, name, "Song " + QByteArray::number(i));
        else if (kind == "short")
            testsupport::writeFile(folder, name, testsupport::audio(100));
        else if (kind == "fifo")
            QVERIFY(::mkfifo(path.c_str(), 0644) == 0);
        else if (kind == "dangling link")
            QVERIFY(::symlink("/nonexistent/target", path.c_str()) == 0);
        else
            QVERIFY(::mkdir(path.c_str(), 0755) == 0);
    }
}

// The scan as it was before reads were concurrent: one file at a time.
FolderScan oneAtATime(const std::string& folder)
{
    FolderScan scan;
    for (const std::string& name : listMp3Names(folder).names) {
        const auto tag = readFileTag(folderPath(folder) + name, TagSource::Id3v1);
        if (!tag) {
            scan.outcome = FolderScan::Outcome::ReadFailed;
            return scan;
        }
        scan.rows.push_back({ name, *tag });
    }
    return scan;
}

} // namespace

// Reads done concurrently give exactly what reads one at a time give: the
// same rows, the same order, the same failure point.
class ConcurrentReadsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resultsComeInOrderAndStopAtTheFirstFailure();
    void theScanMatchesOneAtATime_data();
    void theScanMatchesOneAtATime();
    void aRunStopsAtTheUnreadableRow_data();
    void aRunStopsAtTheUnreadableRow();
};

void ConcurrentReadsTest::resultsComeInOrderAndStopAtTheFirstFailure()
{
    for (int round = 0; round < 200; ++round) {
        const std::size_t failAt = static_cast<std::size_t>(round % 60);
        const auto results = readInOrder(50, [&](std::size_t i) -> std::optional<std::size_t> {
            if (i == failAt || i == failAt + 3)
                return std::nullopt;
            return i * i;
        });
        for (std::size_t i = 0; i < std::min<std::size_t>(failAt, 50); ++i)
            QCOMPARE(results[i], std::optional<std::size_t>(i * i));
        if (failAt < 50)
            QVERIFY(!results[failAt]);
    }
}

void ConcurrentReadsTest::theScanMatchesOneAtATime_data()
{
    QTest::addColumn<int>("broken");
    QTest::addColumn<QString>("kind");
    for (const char* kind : { "short", "fifo", "dangling link", "folder" }) {
        QTest::addRow("%s first", kind) << 0 << kind;
        QTest::addRow("%s in the middle", kind) << kFiles / 2 << kind;
        QTest::addRow("%s last", kind) << kFiles - 1 << kind;
    }
    QTest::addRow("nothing broken") << -1 << "";
}

void ConcurrentReadsTest::theScanMatchesOneAtATime()
{
    QFETCH(int, broken);
    QFETCH(QString, kind);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    makeFolder(folder, broken, kind);
    const FolderScan reference = oneAtATime(folder);
    QCOMPARE(reference.rows.size(), size_t(broken < 0 ? kFiles : broken));
    for (int round = 0; round < 50; ++round) {
        const FolderScan scan = scanFolder(folder);
        QCOMPARE(scan.outcome, reference.outcome);
        QCOMPARE(scan.rows.size(), reference.rows.size());
        for (std::size_t i = 0; i < scan.rows.size(); ++i) {
            QCOMPARE(scan.rows[i].name, reference.rows[i].name);
            QCOMPARE(scan.rows[i].tag.song, reference.rows[i].tag.song);
        }
    }
}

void ConcurrentReadsTest::aRunStopsAtTheUnreadableRow_data()
{
    QTest::addColumn<int>("broken");
    QTest::newRow("first") << 0;
    QTest::newRow("middle") << kFiles / 2;
    QTest::newRow("last") << kFiles - 1;
}

void ConcurrentReadsTest::aRunStopsAtTheUnreadableRow()
{
    QFETCH(int, broken);
    for (int round = 0; round < 10; ++round) {
        testsupport::TempDir dir;
        const std::string folder = dir.path().toStdString();
        makeFolder(folder, broken, "short");
        std::vector<RunItem> items;
        for (int i = 0; i < kFiles; ++i)
            items.push_back({ true, nameAt(i) });
        NameOptions options;
        options.numbered = false;
        const RenameRunResult result = runRename(folder, items, options, {});
        QCOMPARE(result.outcome, RenameRunResult::Outcome::Failed);
        QCOMPARE(result.renamed, broken);
        for (int i = 0; i < kFiles; ++i) {
            const bool renamed = testsupport::exists(folder + "/Song " + std::to_string(i) + ".mp3");
            QCOMPARE(renamed, i < broken);
        }
    }
}

QTEST_GUILESS_MAIN(ConcurrentReadsTest)
#include "tst_concurrentreads.moc"
