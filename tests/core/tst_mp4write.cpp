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

quint32 be32At(const QByteArray& bytes, qsizetype at) { return qFromBigEndian<quint32>(bytes.constData() + at); }

// The items of the file's ilst in their order, as "name=value": text as
// it stands, a number pair as "3/12", a numeric genre as its number, any
// other item by its name alone.
QStringList itemsOf(const QByteArray& file)
{
    QStringList items;
    const qsizetype ilst = file.indexOf("ilst") - 4;
    if (ilst < 0)
        return items;
    for (qsizetype at = ilst + 8; at < ilst + be32At(file, ilst); at += be32At(file, at)) {
        const QString name = QString::fromLatin1(file.mid(at + 4, 4)).replace(QChar(0xA9), "@");
        const QByteArray data = file.mid(at + 24, be32At(file, at + 8) - 16);
        if (be32At(file, at + 16) == 1)
            items << name + "=" + QString::fromUtf8(data);
        else if (name == "trkn" || name == "disk")
            items << name + "=" + QString::number(qFromBigEndian<quint16>(data.constData() + 2)) + "/"
                    + QString::number(qFromBigEndian<quint16>(data.constData() + 4));
        else if (name == "gnre")
            items << name + "=" + QString::number(qFromBigEndian<quint16>(data.constData()));
        else
            items << name;
    }
    return items;
}

// The audio the track's first chunk offset points at.
QByteArray chunkOf(const QByteArray& file, int audioBytes)
{
    const qsizetype stco = file.indexOf("stco");
    const qsizetype co64 = file.indexOf("co64");
    const quint64 offset = stco >= 0 ? be32At(file, stco + 12)
                                     : (quint64(be32At(file, co64 + 12)) << 32) | be32At(file, co64 + 16);
    return file.mid(qsizetype(offset), audioBytes);
}

QByteArray atom(const char* type, const QByteArray& body)
{
    QByteArray size(4, '\0');
    qToBigEndian(quint32(8 + body.size()), size.data());
    return size + type + body;
}

// A freeform item (its name space, its name, its data), which TagLib reads
// into no field and the writer keeps as it is.
const QByteArray kFreeform = atom("----",
    atom("mean", QByteArray(4, '\0') + "com.apple.iTunes") + atom("name", QByteArray(4, '\0') + "MOOD")
        + atom("data", QByteArray("\0\0\0\1\0\0\0\0", 8) + "calm"));

QByteArray oddOrder()
{
    using testsupport::mp4Item;
    return mp4Item("\251ART", 1, "Band") + kFreeform + mp4Item("\251nam", 1, "Old")
        + mp4Item("trkn", 0, QByteArray("\0\0\0\3\0\x0C\0\0", 8)) + mp4Item("covr", 13, "\xFF\xD8jpg");
}

} // namespace

// An MP4 file's item list written item by item: the fields named take their
// values where they stood, every other item keeps its bytes and place, the
// audio moves only by the metadata's growth and its chunk offsets with it,
// and undo gives back every byte.
class Mp4WriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void itemsAreWrittenAndUndone_data();
    void itemsAreWrittenAndUndone();
    void aFileTheWriterDoesNotHoldIsRefused_data();
    void aFileTheWriterDoesNotHoldIsRefused();
};

void Mp4WriteTest::itemsAreWrittenAndUndone_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("values"); // "field=value": song, albumartist, track, genre
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("inPlace");
    using testsupport::mp4File;
    const QStringList kept { "@ART=Band", "----", "@nam=A new title", "trkn=3/12", "covr" };
    QTest::newRow("in place: the free atom after ilst takes the change")
        << mp4File({ oddOrder(), 400 }) << QStringList { "song=A new title" } << kept << true;
    QTest::newRow("in place: the free atom after moov takes the change")
        << mp4File({ oddOrder(), 0, 300 }) << QStringList { "song=A new title" } << kept << true;
    QTest::newRow("no free atom: the region grows, the offsets follow the audio")
        << mp4File({ oddOrder() }) << QStringList { "song=A new title" } << kept << false;
    QTest::newRow("64-bit offsets follow the audio too")
        << mp4File({ oddOrder(), 0, 0, false, true }) << QStringList { "song=A new title" } << kept << false;
    QTest::newRow("a meta without version and flags")
        << mp4File({ oddOrder(), 400, 0, false, false, true }) << QStringList { "song=A new title" } << kept << true;
    QTest::newRow("a track without its total keeps the total, a cleared field goes, a new one goes last")
        << mp4File({ oddOrder(), 400 }) << QStringList { "track=5", "song=", "albumartist=Various" }
        << QStringList { "@ART=Band", "----", "trkn=5/12", "covr", "aART=Various" } << true;
    QTest::newRow("a genre's text replaces the numeric genre")
        << mp4File({ testsupport::mp4Item("gnre", 0, QByteArray("\0\x09", 2)) + oddOrder(), 400 })
        << QStringList { "genre=Jazz" } << QStringList { "@ART=Band", "----", "@nam=Old", "trkn=3/12", "covr", "@gen=Jazz" }
        << true;
    QTest::newRow("two items of one field become one")
        << mp4File({ oddOrder() + testsupport::mp4Item("\251nam", 1, "Later copy"), 400 })
        << QStringList { "song=A new title" } << kept << true;
    QTest::newRow("no udta: udta, meta and ilst are made")
        << mp4File({ QByteArray() }) << QStringList { "track=2/9" } << QStringList { "trkn=2/9" } << false;
}

void Mp4WriteTest::itemsAreWrittenAndUndone()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, values);
    QFETCH(QStringList, after);
    QFETCH(bool, inPlace);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a.m4a", file);
    const TagValues named = testsupport::namedValues(values);
    const TagJournal journal(folder + "/journal");

    QCOMPARE(writeTagBatch({ { path, named } }, TagSource::Id3v2First, 2026, journal).written, 1);
    const QByteArray written = testsupport::readFile(path);
    QCOMPARE(itemsOf(written), after);
    if (file.contains("covr"))
        QVERIFY(written.contains(kFreeform) && written.contains(testsupport::mp4Item("covr", 13, "\xFF\xD8jpg")));
    QVERIFY(written.endsWith(file.mid(file.indexOf("mdat") - 4))); // the audio, byte for byte
    QCOMPARE(chunkOf(written, 600), testsupport::audio(600));
    QCOMPARE(written.size() == file.size(), inPlace);
    const auto read = readFormatTag(path, AudioFormat::Mp4);
    QVERIFY(read && read->tag.artist == (file.contains("Band") ? "Band" : ""));

    QVERIFY(journal.undoNewest());
    QCOMPARE(testsupport::readFile(path), file);
}

// Files whose metadata the writer cannot replace as a region at the start
// (nor, after the audio, at the end) are left as they are.
void Mp4WriteTest::aFileTheWriterDoesNotHoldIsRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray fastStart = testsupport::mp4File({ oddOrder() });
    const qsizetype audio = fastStart.indexOf("mdat") - 4;
    QTest::newRow("moov between two audio atoms")
        << testsupport::mp4File({ oddOrder(), 0, 0, true }) + QByteArray("\0\0\0\x10mdat", 8) + QByteArray(8, 'a');
    QTest::newRow("a movie fragment") << fastStart + QByteArray("\0\0\0\x08moof", 8);
    QTest::newRow("two movie atoms") << fastStart + fastStart.mid(28, audio - 28);
    QTest::newRow("an atom that overruns the file") << fastStart + QByteArray("\0\0\x10\0free", 8);
    QTest::newRow("a chunk offset into the metadata, the region grows")
        << QByteArray(fastStart).replace(fastStart.indexOf("stco") + 12, 4, QByteArray("\0\0\0\x20", 4));
    QTest::newRow("a 32-bit chunk offset that would overflow")
        << QByteArray(fastStart).replace(fastStart.indexOf("stco") + 12, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
}

void Mp4WriteTest::aFileTheWriterDoesNotHoldIsRefused()
{
    QFETCH(QByteArray, file);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a.m4a", file);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Song, "A longer title" } } } }, TagSource::Id3v2First, 2026, journal).written, 0);
    QCOMPARE(testsupport::readFile(path), file);
}

QTEST_GUILESS_MAIN(Mp4WriteTest)
#include "tst_mp4write.moc"
