#include "platform/fs/rangecompare.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <cstdio>
#include <sys/time.h>

using namespace zentrio;

Q_DECLARE_METATYPE(fs::RangesCompared)

// Two files' audio compared byte for byte before one is moved as a copy of
// the other: "Same" for bytes that differ, or for a file that is no longer
// the one found, would move a file that is no copy.
class RangeCompareTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void comparedByteForByte_data();
    void comparedByteForByte();
};

void RangeCompareTest::comparedByteForByte_data()
{
    QTest::addColumn<int>("differAt"); // the byte of the right audio flipped; -1: none
    QTest::addColumn<QString>("change"); // what befalls the right file once found
    QTest::addColumn<int>("past"); // bytes the right range claims past the file's end
    QTest::addColumn<fs::RangesCompared>("compared");
    const int block = 256 * 1024;
    QTest::newRow("the same audio behind tags of other sizes") << -1 << "" << 0 << fs::RangesCompared::Same;
    QTest::newRow("a byte at a block's start differs") << block << "" << 0 << fs::RangesCompared::Differ;
    QTest::newRow("the last byte differs") << 2 * block + 999 << "" << 0 << fs::RangesCompared::Differ;
    QTest::newRow("written to since it was found, its size kept")
        << -1 << "touched" << 0 << fs::RangesCompared::Unreadable;
    QTest::newRow("replaced by another file of the same bytes")
        << -1 << "replaced" << 0 << fs::RangesCompared::Unreadable;
    QTest::newRow("a range past the end of the file") << -1 << "" << 1 << fs::RangesCompared::Unreadable;
}

void RangeCompareTest::comparedByteForByte()
{
    QFETCH(int, differAt);
    QFETCH(QString, change);
    QFETCH(int, past);
    QFETCH(fs::RangesCompared, compared);
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    const QByteArray audio = testsupport::audio(2 * 256 * 1024 + 1000);
    QByteArray other = audio;
    if (differAt >= 0)
        other[differAt] = char(other[differAt] ^ 1);
    const std::string left = testsupport::writeFile(root, "left.mp3", "ID3" + audio + "TAG");
    const std::string right = testsupport::writeFile(root, "right.mp3", "LONGER TAG" + other);
    const fs::FileRange a { left, 3, 3 + audio.size(), *fs::identityOf(left) };
    const fs::FileRange b { right, 10, 10 + other.size() + past, *fs::identityOf(right) };
    if (change == "touched") {
        const timeval times[2] { { 1000000, 0 }, { 1000000, 0 } };
        QCOMPARE(::utimes(right.c_str(), times), 0);
    } else if (change == "replaced") {
        const std::string copy = testsupport::writeFile(root, "copy.mp3", "LONGER TAG" + other);
        QCOMPARE(std::rename(copy.c_str(), right.c_str()), 0);
    }
    QCOMPARE(fs::compareRanges(a, b), compared);
}

QTEST_GUILESS_MAIN(RangeCompareTest)
#include "tst_rangecompare.moc"
