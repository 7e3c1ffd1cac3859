#include "tags/read/folderscan.h"
#include "tags/read/id3v2.h"
#include "tags/write/tagsave.h"
#include "tags/read/tagsource.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <csignal>
#include <sys/resource.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

using namespace zentrio;
using testsupport::audio;
using testsupport::Id3v2Content;
using testsupport::id3v1;
using testsupport::readFile;
using testsupport::TextEncoding;
using testsupport::writeFile;

Q_DECLARE_METATYPE(TextEncoding)

namespace {

const QString kHungarian = QString::fromUtf8("Árvíztűrő tükörfúrógép");

// A tag, then audio, then an ID3v1 record with other texts.
QByteArray bothTags(const QByteArray& tag) { return tag + audio(1000) + id3v1("v1 song", "v1 artist", "v1 album"); }

struct Reopened {
    unsigned version = 0;
    QString title;
    QString track;
    QByteArray picture;
};

// What TagLib itself finds in a saved file.
Reopened reopen(const std::string& path)
{
    TagLib::MPEG::File file(path.c_str(), false);
    Reopened r;
    if (!file.hasID3v2Tag())
        return r;
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    r.version = tag->header()->majorVersion();
    r.title = QString::fromStdWString(tag->title().toWString());
    if (!tag->frameList("TRCK").isEmpty())
        r.track = QString::fromStdWString(tag->frameList("TRCK").front()->toString().toWString());
    if (!tag->frameList("APIC").isEmpty()) {
        const auto* picture = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(tag->frameList("APIC").front());
        r.picture = QByteArray(picture->picture().data(), picture->picture().size());
    }
    return r;
}

} // namespace

class Id3v2Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsEveryVersionAndEncoding_data();
    void readsEveryVersionAndEncoding();
    void theSwitchChoosesTheTag_data();
    void theSwitchChoosesTheTag();
    void readFailuresStayAsDesigned();
    void scanReadsNamesThatAreNotText();
    void saveKeepsOtherFramesAndTheAudio_data();
    void saveKeepsOtherFramesAndTheAudio();
    void aFailedSaveLeavesTheFileAsItWas();
};

void Id3v2Test::readsEveryVersionAndEncoding_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<TextEncoding>("encoding");
    for (int version : { 2, 3, 4 }) {
        QTest::addRow("2.%d Latin-1", version) << version << TextEncoding::Latin1;
        QTest::addRow("2.%d UTF-16", version) << version << TextEncoding::Utf16;
    }
    QTest::addRow("2.4 UTF-8") << 4 << TextEncoding::Utf8;
}

void Id3v2Test::readsEveryVersionAndEncoding()
{
    QFETCH(int, version);
    QFETCH(TextEncoding, encoding);
    const bool latin1 = encoding == TextEncoding::Latin1;
    const QString title = latin1 ? QString::fromUtf8("Café del Mar, a title longer than thirty letters") : kHungarian;
    const QByteArray tag = testsupport::id3v2(version, { { " " + title + " " }, { "Artist" }, { "Album" }, encoding });
    testsupport::TempDir dir;
    const auto fields = readFileTag(writeFile(dir.path().toStdString(), "f.mp3", tag + audio(400)), TagSource::Id3v2First);
    QVERIFY(fields && fields->found);
    QCOMPARE(fields->song, title);
    QCOMPARE(fields->artist, QString("Artist"));
    QCOMPARE(fields->album, QString("Album"));
}

void Id3v2Test::theSwitchChoosesTheTag_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("withSwitch");
    QTest::addColumn<QString>("withoutSwitch");
    const QByteArray v23 = testsupport::id3v2(3, { { "v2 song" }, { "v2 artist" }, {} });
    Id3v2Content trackOnly({}, {}, {});
    trackOnly.track = "5";
    QTest::newRow("both tags") << bothTags(v23) << "v2 song" << "v1 song";
    QTest::newRow("ID3v2 only") << v23 + audio(400) << "v2 song" << "";
    QTest::newRow("no title, artist or album") << bothTags(testsupport::id3v2(3, trackOnly))
                                               << "v1 song" << "v1 song";
    QByteArray garbled = v23;
    garbled.replace(10, 4, "\x01\x02\x03\x04");
    QTest::newRow("damaged frames") << bothTags(garbled) << "v1 song" << "v1 song";
    QByteArray overlong = v23;
    overlong.replace(6, 4, QByteArray("\x7F\x7F\x7F\x7F", 4));
    QTest::newRow("claims more than the file") << bothTags(overlong) << "v2 song" << "v1 song";
    QTest::newRow("ID3 but no header") << bothTags("ID3\xFF\xFF\x00\x00\x00\x00\x00") << "v1 song" << "v1 song";
}

void Id3v2Test::theSwitchChoosesTheTag()
{
    QFETCH(QByteArray, file);
    testsupport::TempDir dir;
    const std::string path = writeFile(dir.path().toStdString(), "f.mp3", file);
    const auto on = readFileTag(path, TagSource::Id3v2First);
    const auto off = readFileTag(path, TagSource::Id3v1);
    QVERIFY(on && off);
    QTEST(on->song, "withSwitch");
    QTEST(off->song, "withoutSwitch");
}

void Id3v2Test::readFailuresStayAsDesigned()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray tag = testsupport::id3v2(3, { { "Song" }, { "A", "B", "C" }, {} });
    QCOMPARE(readFileTag(writeFile(folder, "multi.mp3", tag + audio(400)), TagSource::Id3v2First)->artist,
        QString("A / B / C"));
    // A tagged file of 256 bytes or fewer is a read failure either way.
    const std::string small = writeFile(folder, "small.mp3", tag.left(256));
    QVERIFY(tag.size() > 256);
    QVERIFY(!readFileTag(small, TagSource::Id3v2First));
    QVERIFY(!readFileTag(small, TagSource::Id3v1));
    QVERIFY(!readFileTag(folder + "/missing.mp3", TagSource::Id3v2First));
}

void Id3v2Test::scanReadsNamesThatAreNotText()
{
    testsupport::TempDir dir;
    const std::string name = "caf\xE9 \xFF.mp3"; // Latin-1 bytes, not UTF-8
    writeFile(dir.path().toStdString(), name, testsupport::id3v2(4, { { kHungarian }, {}, {} }) + audio(400));
    const FolderScan scan = scanFolder(dir.path().toStdString(), TagSource::Id3v2First);
    QCOMPARE(scan.outcome, FolderScan::Outcome::Scanned);
    QCOMPARE(scan.rows.size(), size_t(1));
    QCOMPARE(scan.rows[0].name, name);
    QCOMPARE(scan.rows[0].tag.song, kHungarian);
}

void Id3v2Test::saveKeepsOtherFramesAndTheAudio_data()
{
    QTest::addColumn<int>("version"); // 0: no ID3v2 tag
    QTest::addColumn<unsigned>("savedVersion");
    QTest::newRow("no tag gets 2.3") << 0 << 3u;
    QTest::newRow("2.2 stays 2.2") << 2 << 2u;
    QTest::newRow("2.3 stays") << 3 << 3u;
    QTest::newRow("2.4 stays") << 4 << 4u;
}

void Id3v2Test::saveKeepsOtherFramesAndTheAudio()
{
    QFETCH(int, version);
    Id3v2Content content { { "Old" }, { "Old" }, { "Old" } };
    content.track = "7/12";
    content.pictureBytes = version == 2 ? 0 : 20000;
    const QByteArray tag = version == 0 ? QByteArray() : testsupport::id3v2(version, content);
    const QByteArray body = audio(5000);
    testsupport::TempDir dir;
    const std::string path = writeFile(dir.path().toStdString(), "f.mp3", tag + body + id3v1("a", "b", "c"));
    const QString longTitle = kHungarian + " " + QString(40, 'x');

    QVERIFY(saveTag(path, { longTitle, "New artist", "New album" }, 2026, TagSource::Id3v2First));

    const QByteArray saved = readFile(path);
    const Reopened r = reopen(path);
    QTEST(r.version, "savedVersion");
    QCOMPARE(r.title, longTitle);
    QCOMPARE(readFileTag(path, TagSource::Id3v2First)->artist, QString("New artist"));
    QCOMPARE(readFileTag(path, TagSource::Id3v1)->artist, QString("New artist"));
    if (version != 0)
        QCOMPARE(r.track, QString("7/12"));
    if (version != 0 && content.pictureBytes > 0)
        QCOMPARE(r.picture.size(), content.pictureBytes);
    // The audio is untouched, and the ID3v1 record was rewritten in place.
    QCOMPARE(saved.right(128 + body.size()).left(body.size()), body);
    QCOMPARE(saved.right(128).left(3), QByteArray("TAG"));
}

void Id3v2Test::aFailedSaveLeavesTheFileAsItWas()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray original = bothTags(testsupport::id3v2(3, { { "Song" }, {}, {} }));
    const std::string path = writeFile(folder, "f.mp3", original);

    // The temporary file stops halfway at the file-size limit.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = static_cast<rlim_t>(original.size() / 2);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = saveTag(path, { "New", "New", "New" }, 2026, TagSource::Id3v2First);
    ::setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!saved);
    QCOMPARE(readFile(path), original);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);

    // A tag, or a second tag right after it, that claims more bytes than the
    // file has is not rewritten: the rewrite would take the audio with it.
    QByteArray overlong = original;
    overlong.replace(6, 4, QByteArray("\x7F\x7F\x7F\x7F", 4));
    const QByteArray tag = testsupport::id3v2(3, { { "Song" }, {}, {} });
    const QByteArray bogusSecond = tag + QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + audio(1000);
    const QByteArray damagedSecond = tag + QByteArray("ID3\x02\xC5\xC5\x00\x00\xFF\x00", 10) + audio(1000);
    for (const QByteArray& bytes : { overlong, bogusSecond, damagedSecond }) {
        const std::string damaged = writeFile(folder, "damaged.mp3", bytes);
        QVERIFY(!saveTag(damaged, { "New", "New", "New" }, 2026, TagSource::Id3v2First));
        QCOMPARE(readFile(damaged), bytes);
    }
}

QTEST_GUILESS_MAIN(Id3v2Test)
#include "tst_id3v2.moc"
