#include "tags/journal/tagjournalformat.h"

#include <QTemporaryFile>
#include <QTest>

using namespace zentrio;
using namespace zentrio::tagjournal;

namespace {

// A file whose bytes a line-based reader would stumble over: a path with a
// line end and a byte that is not UTF-8, a record of NULs and line ends.
TagSnapshot oddFile(int n)
{
    TagSnapshot file;
    file.path = "/m/a\nb\xFF" + std::to_string(n) + ".mp3";
    file.length = 5000 + n;
    file.record = std::string(128, '\n');
    (*file.record)[0] = '\0';
    file.regionCaptured = true;
    file.region = std::string("ID3\x03\0\0\0\0\0\x0a", 10) + "end tag\n";
    file.before = TagFingerprint { 5000, 0xFFFFFFFFFFFFFFFFULL };
    file.written = TagFingerprint { 5010, 7 };
    file.modified = 1700000000123456789LL;
    if (n % 2 == 1)
        file.regionOffset = 4000; // a region at the file's end (a WAV file's ID3 chunk)
    return file;
}

} // namespace

// The tag journal's text read back as written: whole commands with their
// files' bytes, a torn tail left out, a command cut short still open.
class TagJournalFormatTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void journalIsReadBack_data();
    void journalIsReadBack();
};

void TagJournalFormatTest::journalIsReadBack_data()
{
    QTest::addColumn<int>("files"); // whole files of the command
    QTest::addColumn<bool>("closed"); // its end line written
    QTest::addColumn<QByteArray>("tail"); // bytes after it: a torn write
    QTest::addColumn<bool>("open");
    QTest::newRow("a closed command") << 2 << true << QByteArray() << false;
    QTest::newRow("a command cut short") << 2 << false << QByteArray() << true;
    QTest::newRow("a torn file after a whole one") << 1 << false << QByteArray("file 12 5000 1 1 9 0 - - -\n/m/a") << true;
    QTest::newRow("a region's offset past the file's length")
        << 1 << false << QByteArray("file 4 5000 0 1 0 0 - - - 5001\n/m/a\n") << true;
    QTest::newRow("odd bytes after a closed command") << 1 << true << QByteArray("\xFF\0tagcommand x\n", 15) << false;
}

void TagJournalFormatTest::journalIsReadBack()
{
    QFETCH(int, files);
    QFETCH(bool, closed);
    QFETCH(QByteArray, tail);
    std::string text = formatCommandStart(0xABCDEF0123456789ULL, 1700000000, TagOrigin::CommandLine);
    for (int i = 0; i < files; ++i)
        text += formatFile(oddFile(i));
    if (closed)
        text += formatCommandEnd(0xABCDEF0123456789ULL, std::size_t(files));
    const auto whole = static_cast<std::int64_t>(text.size());
    text += tail.toStdString();
    QTemporaryFile journal;
    QVERIFY(journal.open());
    QCOMPARE(journal.write(text.data(), qint64(text.size())), qint64(text.size()));
    QVERIFY(journal.flush());
    const Scan scan = scanJournal(journal.handle());
    QCOMPARE(scan.wholeUpTo, whole);
    QCOMPARE(commandBlocks(scan).size(), std::size_t(1));
    const Block& block = scan.blocks.at(commandBlocks(scan).front());
    QCOMPARE(block.id, 0xABCDEF0123456789ULL);
    QCOMPARE(block.time, std::int64_t(1700000000));
    QCOMPARE(block.origin, TagOrigin::CommandLine);
    QTEST(block.open, "open");
    QCOMPARE(block.count, std::size_t(files));
    const auto read = readCommand(journal.handle(), scan, commandBlocks(scan).front());
    QVERIFY(read);
    QCOMPARE(read->size(), std::size_t(files));
    for (int i = 0; i < files; ++i) {
        const TagSnapshot& got = read->at(std::size_t(i));
        const TagSnapshot made = oddFile(i);
        QCOMPARE(got.path, made.path);
        QCOMPARE(got.length, made.length);
        QCOMPARE(got.record, made.record);
        QCOMPARE(got.regionCaptured, made.regionCaptured);
        QCOMPARE(got.region, made.region);
        QCOMPARE(got.before, made.before);
        QCOMPARE(got.written, made.written);
        QCOMPARE(got.modified, made.modified);
        QCOMPARE(got.regionOffset, made.regionOffset);
    }
    QCOMPARE(fullChangeId(block.id), std::string("abcdef0123456789"));
    QCOMPARE(changeId(block.id), std::string("abcdef01"));
}

QTEST_GUILESS_MAIN(TagJournalFormatTest)
#include "tst_tagjournalformat.moc"
