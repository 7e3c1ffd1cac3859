#include "tags/journal/tagjournal.h"
#include "tags/read/formattags.h"
#include "tags/write/taglayout.h"
#include "tags/write/tagwrite.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <QTest>
#include <QtEndian>

using namespace zentrio;

namespace {

QByteArray sizeBytes(quint32 size, bool big)
{
    QByteArray bytes(4, '\0');
    big ? qToBigEndian(size, bytes.data()) : qToLittleEndian(size, bytes.data());
    return bytes;
}

quint32 sizeAt(const QByteArray& file, qsizetype at, bool big)
{
    return big ? qFromBigEndian<quint32>(file.constData() + at) : qFromLittleEndian<quint32>(file.constData() + at);
}

QByteArray chunk(const char* id, const QByteArray& body, bool big = false)
{
    return QByteArray(id, 4) + sizeBytes(quint32(body.size()), big) + body + (body.size() % 2 ? QByteArray(1, '\0') : "");
}

// The file with its RIFF or FORM size set to its length less 8, after
// chunks were added to it.
QByteArray sized(QByteArray file, bool big = false)
{
    file.replace(4, 4, sizeBytes(quint32(file.size() - 8), big));
    return file;
}

// An ID3v2.3 tag holding a title and a comment frame, with 64 bytes of padding.
QByteArray id3Tag(const QByteArray& title)
{
    const auto frame = [](const char* id, const QByteArray& body) {
        QByteArray size(4, '\0');
        qToBigEndian(quint32(body.size()), size.data());
        return QByteArray(id) + size + QByteArray(2, '\0') + body;
    };
    const QByteArray frames = frame("TIT2", '\0' + title) + frame("COMM", QByteArray("\0eng\0keep me", 12));
    const int size = frames.size() + 64;
    const char syncsafe[4] = { char((size >> 21) & 0x7F), char((size >> 14) & 0x7F), char((size >> 7) & 0x7F), char(size & 0x7F) };
    return QByteArray("ID3\3\0\0", 6) + QByteArray(syncsafe, 4) + frames + QByteArray(64, '\0');
}

// An ID3v2.3 tag of text frames ("TIT2=Old"), with an extended header (a
// CRC) where asked, and 64 bytes of padding.
QByteArray id3Frames(const QStringList& frames, bool extendedHeader = false)
{
    QByteArray body;
    if (extendedHeader)
        body += QByteArray("\0\0\0\x0a\x80\0\0\0\0\0\0\0\0\0", 14);
    for (const QString& frame : frames) {
        const QByteArray text = '\0' + frame.section('=', 1).toLatin1();
        body += frame.section('=', 0, 0).toLatin1() + sizeBytes(quint32(text.size()), true) + QByteArray(2, '\0') + text;
    }
    const int size = body.size() + 64;
    const char syncsafe[4] = { char((size >> 21) & 0x7F), char((size >> 14) & 0x7F), char((size >> 7) & 0x7F), char(size & 0x7F) };
    return QByteArray("ID3\3\0", 5) + char(extendedHeader ? 0x40 : 0) + QByteArray(syncsafe, 4) + body + QByteArray(64, '\0');
}

QByteArray wavWith(const QByteArray& after, int audioBytes = 600)
{
    return sized(testsupport::untaggedFile("wav", audioBytes) + after);
}

QByteArray aiffWith(const QByteArray& after)
{
    return sized(testsupport::untaggedFile("aiff") + after, true);
}

// A file of the format made and saved by TagLib; `info` gives a WAV file
// an INFO list with that artist (and no ID3 tag unless `title` is given).
QByteArray taggedByTagLib(const std::string& ext, const std::string& title, const std::string& info = {})
{
    testsupport::TempDir dir;
    const std::string path = testsupport::writeFile(dir.path().toStdString(), "a." + ext, testsupport::untaggedFile(ext));
    if (!info.empty()) {
        TagLib::RIFF::WAV::File file(path.c_str(), false);
        file.InfoTag()->setArtist(info);
        file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripNone);
    }
    if (!title.empty())
        testsupport::tagFile(path, { { "TITLE", { title } }, { "ARTIST", { "Band" } }, { "COMMENT", { "keep me" } } });
    return testsupport::readFile(path);
}

// The file's chunk of that id, header and body.
QByteArray chunkIn(const QByteArray& file, const char* id)
{
    const qsizetype at = file.indexOf(id);
    return at < 0 ? QByteArray() : file.mid(at, 8 + qsizetype(sizeAt(file, at + 4, false)));
}

// Where the original file's region begins: its ID3 chunk or its moov (the
// file's end where it has neither); every byte before it is audio or other
// metadata, which a write never moves.
qsizetype regionOffsetOf(const QByteArray& file, const std::string& ext)
{
    const qsizetype at = file.lastIndexOf(ext == "m4a" ? "moov" : "ID3 ");
    return at < 0 ? file.size() : at - (ext == "m4a" ? 4 : 0);
}

} // namespace

// Tags after the audio: a WAV or AIFF file's ID3 chunk and an MP4 file's
// moov written where they lie, the file growing or staying at its end, the
// audio and every other chunk, frame and item kept, the header's size kept
// true; undo gives back every byte. A layout the writer does not follow is
// left as it is.
class EndRegionWriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tagsAfterTheAudio_data();
    void tagsAfterTheAudio();
};

void EndRegionWriteTest::tagsAfterTheAudio_data()
{
    QTest::addColumn<std::string>("ext");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("values"); // "field=value"
    QTest::addColumn<QString>("write"); // "in place", "grows" or "refused"
    QTest::addColumn<QString>("artist"); // as TagLib reads the file after the write

    const QStringList song { "song=New" };
    const QStringList longSong { "song=" + QString(3000, 'x') };
    const QByteArray tagged = wavWith(chunk("ID3 ", id3Tag("Old")));
    QTest::newRow("wav: the ID3 chunk last, in place") << std::string("wav") << tagged << song << "in place" << "";
    QTest::newRow("wav: the ID3 chunk grows at the file's end") << std::string("wav") << tagged << longSong << "grows" << "";
    QTest::newRow("wav: no ID3 chunk, one is appended")
        << std::string("wav") << testsupport::untaggedFile("wav") << QStringList { "song=New", "artist=Band" } << "grows"
        << "Band";
    QTest::newRow("wav: odd audio padded, a chunk appended after the pad")
        << std::string("wav") << wavWith(QByteArray(1, '\0'), 601) << song << "grows" << "";
    QTest::newRow("wav by TagLib: ID3 chunk, then its INFO list, in place")
        << std::string("wav") << taggedByTagLib("wav", "Old", "Info") << song << "in place" << "Band";
    QTest::newRow("wav with an INFO list alone: its artist goes into the new tag")
        << std::string("wav") << taggedByTagLib("wav", "", "Info") << song << "grows" << "Info";
    QTest::newRow("aiff by TagLib: its odd-sized ID3 chunk in place")
        << std::string("aiff") << taggedByTagLib("aiff", "Old") << song << "in place" << "Band";
    QTest::newRow("aiff: the ID3 chunk grows") << std::string("aiff") << taggedByTagLib("aiff", "Old") << longSong << "grows"
                                               << "Band";
    QTest::newRow("aiff: no ID3 chunk, one is appended") << std::string("aiff") << testsupport::untaggedFile("aiff") << song
                                                         << "grows" << "";
    const QByteArray items = testsupport::mp4Item("\251ART", 1, "Band") + testsupport::mp4Item("\251nam", 1, "Old");
    QTest::newRow("m4a: moov after the audio, in place")
        << std::string("m4a") << testsupport::mp4File({ items, 400, 0, true }) << song << "in place" << "Band";
    QTest::newRow("m4a: moov after the audio grows, no offset moves")
        << std::string("m4a") << testsupport::mp4File({ items, 0, 0, true }) << longSong << "grows" << "Band";

    const QByteArray audio = testsupport::untaggedFile("wav");
    QTest::newRow("refused: the ID3 chunk before the audio")
        << std::string("wav") << sized(audio.left(36) + chunk("ID3 ", id3Tag("Old")) + audio.mid(36)) << song << "refused" << "";
    QTest::newRow("refused: two ID3 chunks")
        << std::string("wav") << wavWith(chunk("ID3 ", id3Tag("Old")) + chunk("id3 ", id3Tag("Two"))) << song << "refused" << "";
    QTest::newRow("refused: a RIFF size that is not the file's")
        << std::string("wav") << QByteArray(tagged).replace(4, 4, sizeBytes(quint32(tagged.size()), false)) << song << "refused"
        << "";
    QTest::newRow("refused: a truncated file") << std::string("wav") << tagged.left(tagged.size() - 40) << song
                                               << "refused" << "";
    QTest::newRow("refused: an odd last chunk without its pad byte")
        << std::string("wav") << sized(tagged + QByteArray("junk\1\0\0\0x", 9)) << song << "refused" << "";
    QTest::newRow("refused: audio after the aiff's ID3 chunk")
        << std::string("aiff") << aiffWith(chunk("ID3 ", id3Tag("Old"), true) + chunk("SSND", QByteArray(16, 'a'), true))
        << song << "refused" << "";
    // A field not named keeps its frame, and a field removed reads empty:
    // what TagLib cannot show as the frames hold it is not written.
    QTest::newRow("refused: a v2.3 tag with an extended header, which TagLib reads as empty")
        << std::string("wav") << wavWith(chunk("ID3 ", id3Frames({ "TIT2=Old", "TPE1=Band" }, true))) << song << "refused" << "";
    QTest::newRow("refused: fields removed from the ID3 tag that the INFO list would show again")
        << std::string("wav")
        << wavWith(chunk("ID3 ", id3Frames({ "TIT2=Old", "TPE1=Band" }))
               + chunk("LIST", "INFO" + chunk("IART", QByteArray("Info\0", 5)) + chunk("INAM", QByteArray("Info song\0", 10))))
        << QStringList { "song=", "artist=" } << "refused" << "";
    const QByteArray moovLast = testsupport::mp4File({ items, 0, 0, true });
    QTest::newRow("refused: m4a audio after its moov")
        << std::string("m4a") << moovLast + QByteArray("\0\0\0\x10mdat", 8) + QByteArray(8, 'a') << song << "refused" << "";
}

void EndRegionWriteTest::tagsAfterTheAudio()
{
    QFETCH(std::string, ext);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, values);
    QFETCH(QString, write);
    QFETCH(QString, artist);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a." + ext, file);
    const TagJournal journal(folder + "/journal");
    const TagValues named = testsupport::namedValues(values);
    const AudioFormat format = ext == "wav" ? AudioFormat::Wav : ext == "aiff" ? AudioFormat::Aiff : AudioFormat::Mp4;

    const int written = writeTagBatch({ { path, named } }, TagSource::Id3v2First, 2026, journal).written;
    const QByteArray now = testsupport::readFile(path);
    if (write == "refused") {
        QCOMPARE(written, 0);
        QCOMPARE(now, file);
        return;
    }
    QCOMPARE(written, 1);
    QCOMPARE(now.size() == file.size(), write == "in place");
    const auto read = readFormatTag(path, format); // TagLib reads the whole file anew
    QVERIFY(read);
    QCOMPARE(read->tag.song, named.at(TagField::Song));
    QCOMPARE(read->tag.artist, artist);
    // The audio and the metadata before the tag stay, but for a RIFF or
    // FORM file's size, which is its length less 8.
    const qsizetype region = regionOffsetOf(file, ext);
    const qsizetype from = ext == "m4a" ? 0 : 8;
    QCOMPARE(now.left(region).mid(from), file.left(region).mid(from));
    if (ext != "m4a")
        QCOMPARE(sizeAt(now, 4, ext == "aiff"), quint32(now.size() - 8));
    else
        QCOMPARE(now.mid(now.indexOf("stco"), 16), file.mid(file.indexOf("stco"), 16)); // no chunk offset moved
    if (file.contains("keep me"))
        QVERIFY(now.contains("keep me")); // the comment frame stays
    QCOMPARE(chunkIn(now, "LIST"), chunkIn(file, "LIST")); // an INFO list, before or after the tag
    QVERIFY(readTagLayout(path, true)); // the writer takes its own result again

    const auto undone = journal.undoNewest();
    QVERIFY(undone && undone->restored == 1);
    QCOMPARE(testsupport::readFile(path), file);
}

QTEST_GUILESS_MAIN(EndRegionWriteTest)
#include "tst_endregionwrite.moc"
