#include "tags/read/id3v2.h"
#include "tags/read/tagsource.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

using namespace zentrio;
using testsupport::Id3v2Content;
using testsupport::TextEncoding;

namespace {

QByteArray number(quint32 value, bool syncsafe)
{
    QByteArray out;
    for (int i = 3; i >= 0; --i)
        out += char(syncsafe ? (value >> (7 * i)) & 0x7F : (value >> (8 * i)) & 0xFF);
    return out;
}

// A frame with its size written syncsafe (2.4) or plain (2.3, or a 2.4
// tag from a writer that got it wrong).
QByteArray frame(const char* id, const QByteArray& body, bool syncsafe)
{
    return QByteArray(id) + number(static_cast<quint32>(body.size()), syncsafe) + QByteArray(2, '\0') + body;
}

QByteArray tag(int version, const QByteArray& frames, int padding = 100, int claimedExtra = 0)
{
    const QByteArray header = QByteArray("ID3") + char(version) + QByteArray(2, '\0');
    return header + number(static_cast<quint32>(frames.size() + padding + claimedExtra), true) + frames
        + QByteArray(padding, '\0');
}

QByteArray text(const char* value) { return QByteArray(1, '\0') + value; }

QStringList fieldsOf(const TagFields& tag)
{
    return { tag.song, tag.artist, tag.album, tag.track, tag.tracks, tag.year, tag.genre, tag.albumArtist };
}

} // namespace

// The scan reads only the frames a name needs; what it finds is what the
// whole tag gives, and more where the whole-tag parser gives up early.
class FrameWalkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theWalkReadsWhatANameNeeds_data();
    void theWalkReadsWhatANameNeeds();
};

void FrameWalkTest::theWalkReadsWhatANameNeeds_data()
{
    QTest::addColumn<QByteArray>("tagBytes");
    QTest::addColumn<QString>("song"); // empty: whatever the whole tag gives

    Id3v2Content full({ "Title" }, { "One", "Two" }, { QString::fromUtf8("Album ő") });
    full.track = "3/12";
    full.frames = { { "TYER", "1999" }, { "TCON", "(17)" }, { "TPE2", "Band" } };
    for (int version : { 2, 3, 4 }) {
        for (TextEncoding encoding : { TextEncoding::Latin1, TextEncoding::Utf16, TextEncoding::Utf8 }) {
            Id3v2Content content = full;
            content.encoding = version == 4 || encoding != TextEncoding::Utf8 ? encoding : TextEncoding::Utf16;
            for (bool pictureFirst : { false, true }) {
                content.pictureBytes = 3000;
                content.pictureFirst = pictureFirst;
                QTest::addRow("2.%d encoding %d picture %s", version, int(encoding), pictureFirst ? "first" : "last")
                    << testsupport::id3v2(version, content) << QString();
            }
        }
    }
    const QByteArray title = frame("TIT2", text("Title"), true);
    QTest::newRow("empty frame before the title, 2.3") << tag(3, frame("TENC", {}, false) + title) << "Title";
    QTest::newRow("empty frame before the title, 2.4") << tag(4, frame("TENC", {}, true) + title) << "Title";
    QTest::newRow("2.4 with plain frame sizes")
        << tag(4, frame("COMM", QByteArray(300, 'c'), false) + frame("TIT2", text("Title"), false)) << "Title";
    QTest::newRow("frame past the tag's end")
        << tag(3, title + QByteArray("TALB") + number(5000, false) + QByteArray(2, '\0') + text("Album"), 0) << "Title";
    QTest::newRow("tag claims more than the file") << tag(3, title, 0, 100000) << "Title";
    QTest::newRow("compressed wanted frame: the whole tag")
        << tag(3, QByteArray("TPE1") + number(10, false) + QByteArray("\0\x80", 2) + QByteArray(10, 'x') + title)
        << QString();
    QByteArray extended = tag(3, QByteArray(10, '\0') + title, 0);
    extended[5] = 0x40;
    extended.replace(10, 4, number(6, false));
    QTest::newRow("extended header") << extended << "Title";
}

void FrameWalkTest::theWalkReadsWhatANameNeeds()
{
    QFETCH(QByteArray, tagBytes);
    QFETCH(QString, song);
    testsupport::TempDir dir;
    const std::string path
        = testsupport::writeFile(dir.path().toStdString(), "a.mp3", tagBytes + testsupport::audio(600));
    const auto read = readFileTag(path, TagSource::Id3v2First);
    QVERIFY(read);
    if (song.isEmpty()) {
        const auto whole = id3v2FieldsOf(tagBytes.toStdString());
        QVERIFY(whole);
        QCOMPARE(fieldsOf(*read), fieldsOf(*whole));
    } else {
        QCOMPARE(read->song, song);
    }
}

QTEST_MAIN(FrameWalkTest)
#include "tst_framewalk.moc"
