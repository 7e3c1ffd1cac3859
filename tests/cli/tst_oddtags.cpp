#include "tags/read/tagsource.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QProcess>
#include <QTest>

using namespace zentrio;
using testsupport::Id3v2Content;
using testsupport::readFile;

namespace {

QByteArray syncsafe(int size)
{
    QByteArray out;
    for (int shift = 21; shift >= 0; shift -= 7)
        out += char((size >> shift) & 0x7F);
    return out;
}

// A version 2.3 tag with an extended header of the given bytes (its size
// field included) put before its frames.
QByteArray withExtendedHeader(QByteArray tag, const QByteArray& extended)
{
    tag[5] = char(tag[5] | 0x40);
    tag.insert(10, extended);
    tag.replace(6, 4, syncsafe(static_cast<int>(tag.size()) - 10));
    return tag;
}

QByteArray songTag(int version, QList<QPair<QByteArray, QString>> frames = {})
{
    Id3v2Content content { { "My Title" }, { "Band" }, { "Album" }, testsupport::TextEncoding::Latin1 };
    content.track = "4/9";
    content.frames = std::move(frames);
    return testsupport::id3v2(version, content);
}

QString fields(const std::string& path)
{
    const auto tag = readFileTag(path, TagSource::Id3v2First);
    if (!tag)
        return "unreadable";
    return QStringList { tag->song, tag->artist, tag->album, tag->track, tag->year, tag->disc, tag->albumArtist }.join(
        '|');
}

} // namespace

// Tags laid out as other programs write them, through zentrio-cli as a
// person runs it: every frame not named keeps its bytes, every field read
// is the tag's, and an undo brings the file back byte for byte.
class OddTagsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aSetKeepsWhatItWasNotAskedToChange_data();
    void aSetKeepsWhatItWasNotAskedToChange();
    void aShortFileWithAWholeTagIsListed();

private:
    struct Result {
        int status = -1;
        QByteArray output;
    };
    Result run(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", m_dir.path() + "/state");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(ZENTRIO_CLI, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return { process.exitCode(), process.readAllStandardOutput() + process.readAllStandardError() };
    }
    testsupport::TempDir m_dir;
};

void OddTagsTest::aSetKeepsWhatItWasNotAskedToChange_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a line the run prints
    QTest::addColumn<QString>("after"); // song|artist|album|track|year|disc|album artist
    QTest::addColumn<QByteArrayList>("kept"); // bytes the new tag still holds as they were
    const QStringList year { "--year", "1999" };
    const QString allFields = "My Title|Band|Album|4|1999||";
    const QByteArray plainExtended("\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00", 10);
    const QByteArray crcExtended("\x00\x00\x00\x0A\x80\x00\x00\x00\x00\x00\x12\x34\x56\x78", 14);
    QTest::newRow("2.3, a 6-byte extended header")
        << withExtendedHeader(songTag(3), plainExtended) << year << 0 << "year \"\" -> \"1999\"" << allFields
        << QByteArrayList { "TIT2", "My Title" };
    QTest::newRow("2.3, an extended header with a CRC")
        << withExtendedHeader(songTag(3), crcExtended) << year << 0 << "year \"\" -> \"1999\"" << allFields
        << QByteArrayList { "TPE1", "Band", "4/9" };
    const QByteArray date("TDA\x00\x00\x05\x00"
                          "0512",
        11);
    const QByteArray volume("RVA\x00\x00\x0A\x01\x10\x00\x20\x00\x30\x00\x00\x00\x00", 16);
    QTest::newRow("2.2 stays 2.2 with frames 2.3 has no word for")
        << songTag(2, { { "TDA", QString::fromLatin1(date.mid(6)) }, { "RVA", QString::fromLatin1(volume.mid(6)) } })
        << QStringList { "--year", "1999", "--album", QString::fromUtf8("Őrült") } << 0 << "year \"\" -> \"1999\""
        << QString::fromUtf8("My Title|Band|Őrült|4|1999||") << QByteArrayList { "ID3\x02", date, volume };
    Id3v2Content numbersOnly { {}, {}, {} };
    numbersOnly.track = "3";
    numbersOnly.frames = { { "TPE2", "Band" }, { "TPOS", "1/2" }, { "TYER", "1987" } };
    QTest::newRow("a tag with no title, artist or album")
        << testsupport::id3v2(3, numbersOnly) << QStringList { "--albumartist", "Various" } << 0
        << "albumartist \"Band\" -> \"Various\""
        << "|||3|1987|1|Various" << QByteArrayList { "TPOS" };
    Id3v2Content songAndDisc { { "Song" }, {}, {} };
    songAndDisc.frames = { { "TPOS", "1/2" } };
    QTest::newRow("clearing the only song keeps the disc")
        << testsupport::id3v2(3, songAndDisc) << QStringList { "--song", "" } << 0 << "song \"Song\" -> \"\""
        << "|||||1|" << QByteArrayList { "TPOS" };
    QByteArray junkAfterFrames = songTag(2, { { "TDA", QString::fromLatin1(date.mid(6)) } });
    junkAfterFrames[junkAfterFrames.size() - 8] = 'x';
    QTest::newRow("2.2 that only a rewrite losing frames could take")
        << junkAfterFrames << year << 1 << "failed: f.mp3"
        << "My Title|Band|Album|4|||" << QByteArrayList {};
    QByteArray overlong = songTag(3);
    overlong.replace(6, 4, QByteArray("\x7F\x7F\x7F\x7F", 4));
    QTest::newRow("a tag that claims more than the file holds")
        << overlong << year << 1 << "its ID3v2 tag claims more bytes than the file holds"
        << "My Title|Band|Album|4|||" << QByteArrayList {};
}

void OddTagsTest::aSetKeepsWhatItWasNotAskedToChange()
{
    QFETCH(QByteArray, tag);
    QFETCH(QStringList, set);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, after);
    QFETCH(QByteArrayList, kept);
    const QByteArray audio = testsupport::audio(3000);
    const std::string path = testsupport::writeFile(m_dir.path().toStdString(), "f.mp3", tag + audio);
    const Result result = run(QStringList { "tag", "set" } + set + QStringList { "f.mp3" });
    QCOMPARE(result.status, status);
    QVERIFY2(result.output.contains(output.toUtf8()), result.output.constData());
    QVERIFY2(!result.output.contains("disc"), result.output.constData());
    QCOMPARE(fields(path), after);
    const QByteArray written = readFile(path);
    QVERIFY(written.endsWith(audio));
    for (const QByteArray& bytes : kept)
        QVERIFY2(written.left(written.size() - audio.size()).contains(bytes), bytes.constData());

    if (status == 0)
        QCOMPARE(run({ "tag", "undo" }).status, 0);
    QCOMPARE(readFile(path), tag + audio);
}

// The ID3v1 rule needs 257 bytes; an ID3v2 tag is read from a shorter file
// when the file holds the whole of it.
void OddTagsTest::aShortFileWithAWholeTagIsListed()
{
    const QByteArray frame("TIT2\x00\x00\x00\x05\x00\x00\x00Tiny", 15);
    const QByteArray tag = QByteArray("ID3\x03\x00\x00", 6) + syncsafe(frame.size()) + frame;
    const std::string path
        = testsupport::writeFile(m_dir.path().toStdString(), "tiny.mp3", tag + QByteArray(16, '\xFF'));
    QCOMPARE(fields(path), QString("Tiny||||||"));
    const Result listed = run({ "list", "-f", "{song}", "tiny.mp3" });
    QCOMPARE(listed.status, 0);
    QVERIFY2(listed.output.contains("Tiny"), listed.output.constData());
    testsupport::writeFile(m_dir.path().toStdString(), "tiny.mp3", tag.left(tag.size() - 1));
    QCOMPARE(fields(path), QString("unreadable"));
}

QTEST_GUILESS_MAIN(OddTagsTest)
#include "tst_oddtags.moc"
