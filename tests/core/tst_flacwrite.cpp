#include "tags/journal/tagjournal.h"
#include "tags/read/formattags.h"
#include "tags/write/tagwrite.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>
#include <QtEndian>

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
    const std::map<QString, TagField> fields { { "song", TagField::Song }, { "artist", TagField::Artist },
        { "albumartist", TagField::AlbumArtist }, { "track", TagField::Track } };
    TagValues named;
    for (const QString& value : values)
        named[fields.at(value.section('=', 0, 0))] = value.section('=', 1);
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

QTEST_GUILESS_MAIN(FlacWriteTest)
#include "tst_flacwrite.moc"
