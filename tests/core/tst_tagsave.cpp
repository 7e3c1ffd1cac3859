#include "tags/write/id3v1record.h"
#include "tags/write/tagsave.h"
#include "tags/read/trailer.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;
using testsupport::audio;
using testsupport::id3v1;
using testsupport::readFile;
using testsupport::writeFile;

class TagSaveTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordLayout();
    void whereTheRecordGoes_data();
    void whereTheRecordGoes();
    void aFileThatCannotBeWrittenIsLeftAsItWas();
    void aRecordKeepsInStepWithWhatItCanHold_data();
    void aRecordKeepsInStepWithWhatItCanHold();
};

void TagSaveTest::recordLayout()
{
    const QByteArray record = buildTagRecord({ QString(31, 's') + "!", "", QString::fromUtf8("Ő é😀") }, 2026);
    QCOMPARE(record.size(), 128);
    QCOMPARE(record.left(3), QByteArray("TAG"));
    QCOMPARE(record.mid(3, 30), QByteArray(30, 's'));
    QCOMPARE(record.mid(33, 30), QByteArray(30, ' '));
    QCOMPARE(record.mid(63, 30), QByteArray("? \xE9?") + QByteArray(26, ' '));
    QCOMPARE(record.mid(93, 4), QByteArray("2026"));
    QCOMPARE(record.mid(97, 30), QByteArray(30, ' '));
    QCOMPARE(record.at(127), char(12));
}

void TagSaveTest::whereTheRecordGoes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("growth");
    QTest::newRow("standard record: in place") << audio(300) + id3v1("Old", "Old", "Old") << 0;
    QTest::newRow("no tag: appended") << audio(400) << 128;
    QByteArray lateMarker = audio(400);
    lateMarker.replace(400 - 257 + 19, 3, "tAg");
    QTest::newRow("marker in the audio: appended, audio untouched") << lateMarker << 128;
    QTest::newRow("lower-case standard record: in place") << audio(300) + id3v1("o", "o", "o", ' ', "tag") << 0;
}

void TagSaveTest::whereTheRecordGoes()
{
    QFETCH(QByteArray, before);
    QFETCH(int, growth);
    testsupport::TempDir dir;
    const std::string path = writeFile(dir.path().toStdString(), "f.mp3", before);
    const TagEdit edit { "  New Song", "New Artist", QString::fromUtf8("Új album") };
    QVERIFY(saveTag(path, edit, 2026));
    const QByteArray after = readFile(path);
    QCOMPARE(after.size(), before.size() + growth);
    const int kept = growth ? before.size() : before.size() - 128;
    QCOMPARE(after.left(kept), before.left(kept)); // audio is never overwritten
    const auto tag = readTag(path);
    QVERIFY(tag && tag->found);
    QCOMPARE(tag->song, QString("New Song"));
    QCOMPARE(tag->artist, QString("New Artist"));
    QCOMPARE(tag->album, QString::fromUtf8("Új album"));
    // a second save goes over the first, in place
    QVERIFY(saveTag(path, { "Again", "", "" }, 2026));
    QCOMPARE(readFile(path).size(), after.size());
    QCOMPARE(readTag(path)->song, QString("Again"));
    QCOMPARE(readTag(path)->artist, QString());
}

void TagSaveTest::aFileThatCannotBeWrittenIsLeftAsItWas()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string small = writeFile(folder, "small.mp3", audio(200));
    QVERIFY(!saveTag(small, { "s", "a", "l" }, 2026));
    QCOMPARE(readFile(small), audio(200));

    QVERIFY(!saveTag(folder + "/missing.mp3", { "s", "a", "l" }, 2026));
    QVERIFY(!testsupport::exists(folder + "/missing.mp3"));

    // A write that stops halfway (the file-size limit lets 64 of the 128 bytes through) is undone.
    const std::string growing = writeFile(folder, "growing.mp3", audio(400));
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 400 + 64;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = saveTag(growing, { "s", "a", "l" }, 2026);
    ::setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!saved);
    QCOMPARE(readFile(growing), audio(400));

    if (::geteuid() != 0) { // root writes read-only files all the same
        const std::string locked = writeFile(folder, "locked.mp3", audio(400));
        ::chmod(locked.c_str(), 0444);
        QVERIFY(!saveTag(locked, { "s", "a", "l" }, 2026));
        QCOMPARE(readFile(locked), audio(400));
    }
}


// A batch writes the named fields into a record and keeps every other byte;
// a value the record has no room for leaves its field as it was.
void TagSaveTest::aRecordKeepsInStepWithWhatItCanHold_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("at"); // the bytes that change, from here
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("album") << int(TagField::Album) << "Live" << 63 << QByteArray("Live").leftJustified(30, ' ');
    QTest::newRow("year") << int(TagField::Year) << "1999-05-01" << 93 << QByteArray("1999");
    QTest::newRow("a year that is none") << int(TagField::Year) << "soon" << 93 << QByteArray("2001");
    QTest::newRow("track in a blank comment's end") << int(TagField::Track) << "7/12" << 125 << QByteArray("\0\x07", 2);
    QTest::newRow("a track over 255") << int(TagField::Track) << "300" << 125 << QByteArray("  ");
    QTest::newRow("genre by name") << int(TagField::Genre) << "Jazz" << 127 << QByteArray("\x08");
    QTest::newRow("a genre not in the list") << int(TagField::Genre) << "Polka Punk" << 127 << QByteArray("\x0C");
    QTest::newRow("a disc: no room") << int(TagField::Disc) << "2" << 0 << QByteArray("TAG");
}

void TagSaveTest::aRecordKeepsInStepWithWhatItCanHold()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);
    QByteArray old = id3v1("Song", "Artist", "Album");
    old.replace(0, 3, "tag"); // a marker in small letters is written in capitals
    const QByteArray record = QByteArray::fromStdString(recordWithValues(old.toStdString(), { { TagField(field), value } }));
    QCOMPARE(record.mid(at, bytes.size()), bytes);
    QByteArray expected = old;
    expected.replace(0, 3, "TAG");
    expected.replace(at, bytes.size(), bytes);
    QCOMPARE(record, expected); // every other byte as it was
}

QTEST_GUILESS_MAIN(TagSaveTest)
#include "tst_tagsave.moc"
