#include "tags/journal/tagjournal.h"
#include "tags/read/formattags.h"
#include "tags/write/tagwrite.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>
#include <QtEndian>

using namespace zentrio;

namespace {

// The pages' bodies one after another: the packets as a reader joins them.
QByteArray packetsOf(const QByteArray& file)
{
    QByteArray packets;
    for (qsizetype page = 0; file.mid(page, 4) == "OggS";) {
        const int segments = quint8(file[page + 26]);
        int size = 0;
        for (int i = 0; i < segments; ++i)
            size += quint8(file[page + 27 + i]);
        packets += file.mid(page + 27 + segments, size);
        page += 27 + segments + size;
    }
    return packets;
}

// The entries of the file's comment header, in their order.
QStringList commentsOf(const QByteArray& pages)
{
    const QByteArray file = packetsOf(pages);
    qsizetype at = file.indexOf("\x03vorbis");
    at = at < 0 ? file.indexOf("OpusTags") + 8 : at + 7;
    const auto le32 = [&](qsizetype from) { return qFromLittleEndian<quint32>(file.constData() + from); };
    at += 4 + le32(at);
    const quint32 count = le32(at);
    at += 4;
    QStringList entries;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 size = le32(at);
        entries << QString::fromUtf8(file.mid(at + 4, size)).left(40);
        at += 4 + size;
    }
    return entries;
}

// Whether the packet with this signature opens its page.
bool opensPage(const QByteArray& file, const QByteArray& signature)
{
    const qsizetype packet = file.indexOf(signature);
    const qsizetype page = file.lastIndexOf("OggS", packet);
    return page >= 0 && page + 27 + quint8(file[page + 26]) == packet;
}

QByteArray audioOf(const QByteArray& file) { return file.mid(file.indexOf("AUDIO") - 28); }

} // namespace

// The comment header of an Ogg Vorbis or Opus file written field by field:
// the fields named take their values where they stood, every other entry
// keeps its bytes and place, the headers fill as many pages as before so
// that every audio page keeps its bytes, and undo gives back every byte.
class OggWriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aCommentIsWrittenAndUndone_data();
    void aCommentIsWrittenAndUndone();
    void aFileOutsideTheLayoutIsRefused_data();
    void aFileOutsideTheLayoutIsRefused();
    void aFileTaggedByTagLibIsWritten_data();
    void aFileTaggedByTagLibIsWritten();
};

void OggWriteTest::aCommentIsWrittenAndUndone_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pageEach");
    QTest::addColumn<QStringList>("comments");
    QTest::addColumn<QStringList>("values"); // "field=value": song, albumartist, track
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("inPlace");
    const QStringList order { "ARTIST=Band", "TITLE=Old", "COMMENT=keep me", "TRACKNUMBER=3", "TRACKTOTAL=12" };
    const QString picture = "METADATA_BLOCK_PICTURE=" + QString(90000, 'P'); // over two pages
    QTest::newRow("vorbis in place: the same size, the order stays")
        << "ogg" << "a.ogg" << false << order << QStringList { "song=New" }
        << QStringList { "ARTIST=Band", "TITLE=New", "COMMENT=keep me", "TRACKNUMBER=3", "TRACKTOTAL=12" } << true;
    QTest::newRow("vorbis grows; the setup keeps its own page")
        << "ogg" << "a.oga" << true << order << QStringList { "song=A longer title than before" }
        << QStringList { "ARTIST=Band", "TITLE=A longer title than before", "COMMENT=keep me", "TRACKNUMBER=3",
               "TRACKTOTAL=12" }
        << false;
    QTest::newRow("opus: a track keeps its total, a new field goes last")
        << "opus" << "a.opus" << false << order << QStringList { "track=5", "albumartist=Various" }
        << QStringList { "ARTIST=Band", "TITLE=Old", "COMMENT=keep me", "TRACKNUMBER=5", "TRACKTOTAL=12",
               "ALBUMARTIST=Various" }
        << false;
    QTest::newRow("opus in a .ogg file, a picture over pages kept")
        << "opus" << "a.ogg" << false << QStringList { "TITLE=Old", picture } << QStringList { "song=" }
        << QStringList { picture.left(40) } << false;
    QTest::newRow("vorbis in a .opus file, a picture over pages kept, the setup after it")
        << "ogg" << "a.opus" << false << QStringList { picture, "TITLE=Old" } << QStringList { "song=Newer" }
        << QStringList { picture.left(40), "TITLE=Newer" } << false;
}

void OggWriteTest::aCommentIsWrittenAndUndone()
{
    QFETCH(QString, codec);
    QFETCH(QString, name);
    QFETCH(bool, pageEach);
    QFETCH(QStringList, comments);
    QFETCH(QStringList, values);
    QFETCH(QStringList, after);
    QFETCH(bool, inPlace);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> entries;
    for (const QString& comment : comments)
        entries.push_back(comment.toStdString());
    const QByteArray before = testsupport::oggFile(codec.toStdString(), entries, pageEach);
    const std::string path = testsupport::writeFile(folder, name.toStdString(), before);
    const TagValues named = testsupport::namedValues(values);
    const TagJournal journal(folder + "/journal");

    QCOMPARE(writeTagBatch({ { path, named } }, TagSource::Id3v2First, 2026, journal).written, 1);
    const QByteArray written = testsupport::readFile(path);
    QCOMPARE(commentsOf(written), after);
    QCOMPARE(audioOf(written), audioOf(before)); // sequence numbers and CRCs included
    QCOMPARE(written.count("OggS"), before.count("OggS"));
    QCOMPARE(written.size() == before.size(), inPlace);
    if (pageEach)
        QVERIFY(opensPage(written, "\x05vorbis"));
    const auto read = readFormatTag(path, audioFormatOf(path).value());
    QVERIFY(read);
    QCOMPARE(read->tag.song, named.contains(TagField::Song) ? named.at(TagField::Song) : QString("Old"));

    QVERIFY(journal.undoNewest());
    QCOMPARE(testsupport::readFile(path), before);
}

// What the writer does not lay out again is refused and left as it was.
void OggWriteTest::aFileOutsideTheLayoutIsRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray vorbis = testsupport::oggFile("ogg", { "TITLE=Old" });
    const qsizetype second = vorbis.indexOf("OggS", 1);
    QByteArray damaged = vorbis;
    damaged[vorbis.indexOf("TITLE=Old") + 6] = 'X';
    QTest::newRow("a header page's CRC does not match") << damaged;
    const QByteArray other = testsupport::oggPage({ QByteArray("\x80theora") + QByteArray(40, 'T') }, 0, 0x02, 7);
    QTest::newRow("another stream's page among the headers") << vorbis.left(second) + other + vorbis.mid(second);
    QTest::newRow("FLAC in Ogg") << testsupport::oggPage({ QByteArray("\x7F" "FLAC\x01\x00") + QByteArray(40, 'F') }, 0, 2)
                                        + vorbis.mid(second);
    QTest::newRow("Speex") << testsupport::oggPage({ QByteArray("Speex   ") + QByteArray(72, 'S') }, 0, 2)
            + vorbis.mid(second);
    const QByteArray tags = QByteArray("OpusTags") + QByteArray::fromHex("06000000") + "vendor"
        + QByteArray::fromHex("00000000");
    const QByteArray opus = testsupport::oggFile("opus", {});
    const QByteArray opusHead = opus.left(opus.indexOf("OggS", 1));
    QTest::newRow("audio on the last header page")
        << opusHead + testsupport::oggPage({ tags, QByteArray("AUDIO") + testsupport::audio(100) }, 1, 0)
            + testsupport::oggPage({ testsupport::audio(200) }, 2, 0x04);
    // The comment fills 255 segments of its one page: the title does not fit.
    const std::string filler = "COMMENT=" + std::string(65020 - 8 - 14 - 4 - 8, 'c');
    QTest::newRow("the new comment needs another page") << testsupport::oggFile("opus", { filler });
    QTest::newRow("an ID3v2 tag before the first page") << testsupport::id3v2Prefix("Id3 title") + vorbis;
}

void OggWriteTest::aFileOutsideTheLayoutIsRefused()
{
    QFETCH(QByteArray, file);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a.ogg", file + testsupport::audio(200));
    const QByteArray before = testsupport::readFile(path);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Song, "A new title" } } } }, TagSource::Id3v2First, 2026, journal)
                 .written,
        0);
    QCOMPARE(testsupport::readFile(path), before);
}

// A file as TagLib lays out its pages when it tags it.
void OggWriteTest::aFileTaggedByTagLibIsWritten_data()
{
    QTest::addColumn<QString>("codec");
    QTest::newRow("vorbis") << "ogg";
    QTest::newRow("opus") << "opus";
}

void OggWriteTest::aFileTaggedByTagLibIsWritten()
{
    QFETCH(QString, codec);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(
        folder, "a." + codec.toStdString(), testsupport::untaggedFile(codec.toStdString()));
    QVERIFY(testsupport::tagFile(path, { { "TITLE", { "Old" } }, { "ARTIST", { "Band" } }, { "GENRE", { "Rock" } } }));
    const QByteArray before = testsupport::readFile(path);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Album, "Record" }, { TagField::Genre, "" } } } },
                 TagSource::Id3v2First, 2026, journal)
                 .written,
        1);
    const auto read = readFormatTag(path, audioFormatOf(path).value());
    QVERIFY(read);
    QCOMPARE(read->tag.song, QString("Old"));
    QCOMPARE(read->tag.album, QString("Record"));
    QCOMPARE(read->tag.genre, QString());
    const QByteArray written = testsupport::readFile(path);
    QCOMPARE(written.mid(written.lastIndexOf("OggS")), before.mid(before.lastIndexOf("OggS")));
    QVERIFY(journal.undoNewest());
    QCOMPARE(testsupport::readFile(path), before);
}

QTEST_GUILESS_MAIN(OggWriteTest)
#include "tst_oggwrite.moc"
