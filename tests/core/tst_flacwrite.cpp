#include "tags/journal/tagjournal.h"
#include "tags/read/formattags.h"
#include "tags/write/tagwrite.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>
#include <QtEndian>

#include <QFile>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

namespace {

// The entries of the file's Vorbis comment, in their order.
QStringList commentsOf(const QByteArray& file)
{
    const qsizetype vendor = file.indexOf("vendor");
    QStringList entries;
    if (vendor < 0)
        return entries;
    const auto le32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(file.constData() + at); };
    qsizetype at = vendor + 6;
    const quint32 count = le32(at);
    at += 4;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 size = le32(at);
        entries << QString::fromUtf8(file.mid(at + 4, size));
        at += 4 + size;
    }
    return entries;
}

ino_t inodeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

} // namespace

// A FLAC file's comment written field by field: the fields named take
// their values where they stood, every other entry and block keeps its
// bytes and place, the audio never moves but by the metadata's growth, and
// undo gives back every byte.
class FlacWriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aCommentIsWrittenAndUndone_data();
    void aCommentIsWrittenAndUndone();
    void aWriteThatWouldHideOrLoseIsRefused_data();
    void aWriteThatWouldHideOrLoseIsRefused();
    void aLinkNamedOtherwiseIsWrittenAndUndoneAsItsFile();
    void aFileNamedForAnotherFormatIsLeftAlone_data();
    void aFileNamedForAnotherFormatIsLeftAlone();
    void metadataPastTheLimitIsRefusedUnread();
};

void FlacWriteTest::aCommentIsWrittenAndUndone_data()
{
    QTest::addColumn<QStringList>("comments");
    QTest::addColumn<int>("padding"); // -1: no padding block
    QTest::addColumn<QStringList>("values"); // "field=value": song, albumartist, track, year
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("inPlace");
    const QStringList order { "ARTIST=Band", "TITLE=Old", "COMMENT=keep me", "TRACKNUMBER=3", "TRACKTOTAL=12" };
    QTest::newRow("in place: the padding takes the change, the order stays")
        << order << 400 << QStringList { "song=New title" }
        << QStringList { "ARTIST=Band", "TITLE=New title", "COMMENT=keep me", "TRACKNUMBER=3", "TRACKTOTAL=12" } << true;
    QTest::newRow("no padding: the metadata grows")
        << order << -1 << QStringList { "song=A longer title than before" }
        << QStringList { "ARTIST=Band", "TITLE=A longer title than before", "COMMENT=keep me", "TRACKNUMBER=3",
               "TRACKTOTAL=12" }
        << false;
    QTest::newRow("a track without its total keeps the total")
        << order << 400 << QStringList { "track=5" }
        << QStringList { "ARTIST=Band", "TITLE=Old", "COMMENT=keep me", "TRACKNUMBER=5", "TRACKTOTAL=12" } << true;
    QTest::newRow("a pair stays a pair, a new field goes last, two values become one")
        << QStringList { "tracknumber=3/12", "artist=One", "artist=Two" } << 400
        << QStringList { "track=4", "artist=Solo", "albumartist=Various" }
        << QStringList { "tracknumber=4/12", "artist=Solo", "ALBUMARTIST=Various" } << true;
    QTest::newRow("a pair's new total goes under the total's own key too")
        << QStringList { "TRACKNUMBER=3/12", "TRACKTOTAL=12", "TITLE=T" } << 400 << QStringList { "track=5/14" }
        << QStringList { "TRACKNUMBER=5/14", "TRACKTOTAL=14", "TITLE=T" } << true;
    QTest::newRow("a cleared field goes under every key it has")
        << QStringList { "DATE=2001", "YEAR=1999", "ALBUM ARTIST=Y", "TITLE=T" } << 400
        << QStringList { "albumartist=", "song=U" } << QStringList { "DATE=2001", "YEAR=1999", "TITLE=U" } << true;
    QTest::newRow("a cleared field goes") << order << 400 << QStringList { "song=" }
                                          << QStringList { "ARTIST=Band", "COMMENT=keep me", "TRACKNUMBER=3",
                                                 "TRACKTOTAL=12" }
                                          << true;
}

void FlacWriteTest::aCommentIsWrittenAndUndone()
{
    QFETCH(QStringList, comments);
    QFETCH(int, padding);
    QFETCH(QStringList, values);
    QFETCH(QStringList, after);
    QFETCH(bool, inPlace);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> entries;
    for (const QString& comment : comments)
        entries.push_back(comment.toStdString());
    const QByteArray before = testsupport::flacFile(entries, padding);
    const std::string path = testsupport::writeFile(folder, "a.flac", before);
    const ino_t inode = inodeOf(path);
    const TagValues named = testsupport::namedValues(values);
    const TagJournal journal(folder + "/journal");

    QCOMPARE(writeTagBatch({ { path, named } }, TagSource::Id3v2First, 2026, journal).written, 1);
    const QByteArray written = testsupport::readFile(path);
    QCOMPARE(commentsOf(written), after);
    QVERIFY(written.endsWith(before.mid(before.indexOf("\xFF\xF8"))));
    QVERIFY(written.contains("\xFF\xD8jpg")); // the picture block stays
    QCOMPARE(written.size() == before.size(), inPlace);
    QCOMPARE(inodeOf(path), inode);
    QVERIFY(readFormatTag(path, AudioFormat::Flac));

    const auto undone = journal.undoNewest();
    QVERIFY(undone);
    QCOMPARE(testsupport::readFile(path), before);
}

// What a write into the comment would hide (fields an ID3 tag gives while
// the comment is empty) or could not give back (audio shorter than the
// bytes undo checks at the end) is refused, and the file stays as it was.
void FlacWriteTest::aWriteThatWouldHideOrLoseIsRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray bare = testsupport::flacFile({}, 400);
    const qsizetype audio = bare.indexOf("\xFF\xF8");
    QTest::newRow("an ID3v1 record gives the fields, the comment is empty")
        << bare + testsupport::id3v1("V1 title", "V1 artist", "V1 album");
    QTest::newRow("an ID3v2 tag before fLaC gives the fields") << testsupport::id3v2Prefix("Id3 title") + bare;
    QTest::newRow("audio shorter than the bytes undo checks") << bare.left(audio + 100);
}

void FlacWriteTest::aWriteThatWouldHideOrLoseIsRefused()
{
    QFETCH(QByteArray, file);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a.flac", file);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Genre, "Jazz" } } } }, TagSource::Id3v2First, 2026, journal).written, 0);
    QCOMPARE(testsupport::readFile(path), file);
}

// A link named ".mp3" to a FLAC file writes the FLAC file's comment (never
// an ID3v2 tag before its "fLaC"), and undo, which finds the file itself,
// gives it back.
void FlacWriteTest::aLinkNamedOtherwiseIsWrittenAndUndoneAsItsFile()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray before = testsupport::flacFile({ "TITLE=Old" }, 400);
    const std::string path = testsupport::writeFile(folder, "real.flac", before);
    QCOMPARE(::symlink(path.c_str(), (folder + "/link.mp3").c_str()), 0);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { folder + "/link.mp3", { { TagField::Song, "New" } } } }, TagSource::Id3v2First, 2026,
                 journal)
                 .written,
        1);
    QVERIFY(testsupport::readFile(path).startsWith("fLaC"));
    QCOMPARE(commentsOf(testsupport::readFile(path)), QStringList { "TITLE=New" });
    QVERIFY(journal.undoNewest());
    QCOMPARE(testsupport::readFile(path), before);
}

// A link named for a format whose tags are written, to a file whose name
// gives no format (a content store's "objects/ab12"), or a file of another
// format named .mp3: the file is not taken for MP3 and given an ID3 tag
// before its own metadata (an MP4 file would be unreadable after it); it is
// left as it is.
void FlacWriteTest::aFileNamedForAnotherFormatIsLeftAlone_data()
{
    QTest::addColumn<QString>("link"); // empty: the file is written under `name` itself
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::newRow("flac") << "link.flac" << testsupport::flacFile({ "TITLE=Old" }, 400) << "blob";
    QTest::newRow("m4a") << "link.m4a" << testsupport::mp4WithItems(testsupport::mp4Item("\251nam", 1, "Old")) << "blob";
    QTest::newRow("ogg") << "link.ogg" << testsupport::oggFile("ogg", { "TITLE=Old" }) << "blob";
    QTest::newRow("an M4A file named .mp3")
        << "" << testsupport::mp4WithItems(testsupport::mp4Item("\251nam", 1, "Old")) << "song.mp3";
    QTest::newRow("a FLAC file named .mp3, behind an ID3v2 tag")
        << "" << testsupport::id3v2Prefix("Old") + testsupport::flacFile({ "TITLE=Old" }, 400) << "song.mp3";
}

void FlacWriteTest::aFileNamedForAnotherFormatIsLeftAlone()
{
    QFETCH(QString, link);
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, name.toStdString(), file);
    const std::string linkPath = link.isEmpty() ? path : folder + "/" + link.toStdString();
    if (!link.isEmpty())
        QCOMPARE(::symlink(path.c_str(), linkPath.c_str()), 0);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { linkPath, { { TagField::Artist, "New" } } } }, TagSource::Id3v2First, 2026, journal)
                 .written,
        0);
    QCOMPARE(testsupport::readFile(path), file);
}

// Metadata of more than 16 MiB (here padding blocks of a sparse file, 640
// MiB in all) is refused before it is read: a write never holds a file's
// worth of bytes, nor aborts on a file that claims more than memory holds.
void FlacWriteTest::metadataPastTheLimitIsRefusedUnread()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray head = testsupport::flacFile({ "TITLE=Old" }, -1, 0);
    const qsizetype audio = head.indexOf("\xFF\xF8");
    QByteArray start = head.left(audio);
    start[start.indexOf("\x86")] = char(0x06); // the picture block is no longer the last
    const std::string path = folder + "/big.flac";
    QFile out(QString::fromStdString(path));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(start);
    constexpr int kBlocks = 40;
    constexpr qint64 kBody = 0xFFFFFF;
    for (int i = 0; i < kBlocks; ++i) {
        out.write(QByteArray(1, char(i + 1 == kBlocks ? 0x81 : 0x01)) + QByteArray(3, char(0xFF)));
        QVERIFY(out.seek(out.pos() + kBody)); // a hole: the block reads as zeros
    }
    out.write(head.mid(audio) + QByteArray(600, 'a'));
    out.close();
    struct rusage before { };
    ::getrusage(RUSAGE_SELF, &before);
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Artist, "New" } } } }, TagSource::Id3v2First, 2026, journal).written,
        0);
    struct rusage after { };
    ::getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, "the metadata was read into memory"); // KiB
}

QTEST_GUILESS_MAIN(FlacWriteTest)
#include "tst_flacwrite.moc"
