#include "tags/read/formattags.h"
#include "tags/read/tagsource.h"
#include "testsupport/formatfixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

using namespace zentrio;

namespace {

using Properties = std::map<std::string, std::vector<std::string>>;

// The fields as one line: song|artist|album|albumartist|track/tracks|disc/discs|year|genre.
QString line(const TagFields& tag)
{
    return QStringList { tag.song, tag.artist, tag.album, tag.albumArtist, tag.track + "/" + tag.tracks,
        tag.disc + "/" + tag.discs, tag.year, tag.genre }
        .join('|');
}

} // namespace

// Each format's fields as Zentrio names them, by the format's own
// conventions, and damaged files read as far as they can be, never more.
class FormatTagsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsAreReadByEachFormatsConventions_data();
    void fieldsAreReadByEachFormatsConventions();
    void aDamagedFileIsUnreadableOrReadAsFarAsItGoes_data();
    void aDamagedFileIsUnreadableOrReadAsFarAsItGoes();
    void anMp4GenreByNumberIsNamed();
};

void FormatTagsTest::fieldsAreReadByEachFormatsConventions_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<Properties>("properties");
    QTest::addColumn<QString>("fields");
    const Properties full { { "TITLE", { "Song" } }, { "ARTIST", { "Artist" } }, { "ALBUM", { "Album" } },
        { "ALBUMARTIST", { "Various" } }, { "TRACKNUMBER", { "3/12" } }, { "DISCNUMBER", { "1/2" } },
        { "DATE", { "2001-05-03" } }, { "GENRE", { "Jazz" } } };
    for (const char* format : { "flac", "ogg", "opus", "m4a", "wav", "aiff" })
        QTest::addRow("%s: every field", format) << QString(format) << full << "Song|Artist|Album|Various|3/12|1/2|2001|Jazz";
    const Properties vorbis { { "TITLE", { "Song" } }, { "ARTIST", { "One", "Two" } }, { "ALBUM ARTIST", { "Band" } },
        { "TRACKNUMBER", { "3" } }, { "TRACKTOTAL", { "12" } }, { "DISCNUMBER", { "2" } }, { "TOTALDISCS", { "3" } },
        { "YEAR", { "1999" } } };
    QTest::newRow("flac: totals apart, two artists, \"ALBUM ARTIST\", a year")
        << "flac" << vorbis << "Song|One / Two||Band|3/12|2/3|1999|";
    QTest::newRow("ogg: the same") << "ogg" << vorbis << "Song|One / Two||Band|3/12|2/3|1999|";
    QTest::newRow("flac: no metadata at all") << "flac" << Properties {} << "||||/|/||";
    QTest::newRow("flac: a text ends at its first NUL")
        << "flac" << Properties { { "TITLE", { std::string("So\0ng", 5) } } } << "So||||/|/||";
}

void FormatTagsTest::fieldsAreReadByEachFormatsConventions()
{
    QFETCH(QString, format);
    QFETCH(Properties, properties);
    QFETCH(QString, fields);
    testsupport::TempDir dir;
    const std::string path = testsupport::writeFile(
        dir.path().toStdString(), "a." + format.toStdString(), testsupport::untaggedFile(format.toStdString()));
    if (!properties.empty())
        QVERIFY(testsupport::tagFile(path, properties));
    const auto read = readIdentifiedTag(path, TagSource::Id3v2First);
    QVERIFY(read);
    QCOMPARE(line(read->tag), fields);
    QCOMPARE(read->tag.found, !properties.empty());
}

void FormatTagsTest::aDamagedFileIsUnreadableOrReadAsFarAsItGoes_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("keep"); // the bytes kept of the tagged file; -1: garbage of that name
    for (const char* format : { "flac", "ogg", "opus", "m4a", "wav", "aiff" }) {
        QTest::addRow("%s cut in half", format) << QString(format) << 2;
        QTest::addRow("%s cut to its first bytes", format) << QString(format) << 8;
        QTest::addRow("%s of garbage", format) << QString(format) << -1;
    }
}

// Whatever TagLib makes of it, the read comes back, and a field holds
// nothing that was not in the file.
void FormatTagsTest::aDamagedFileIsUnreadableOrReadAsFarAsItGoes()
{
    QFETCH(QString, format);
    QFETCH(int, keep);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string name = "a." + format.toStdString();
    const std::string path = testsupport::writeFile(folder, name, testsupport::untaggedFile(format.toStdString()));
    QVERIFY(testsupport::tagFile(path, { { "TITLE", { "Song" } }, { "ARTIST", { "Artist" } } }));
    const QByteArray whole = testsupport::readFile(path);
    const QByteArray damaged = keep < 0 ? QByteArray(4000, '\x7F') : keep == 2 ? whole.left(whole.size() / 2) : whole.left(keep);
    testsupport::writeFile(folder, name, damaged);
    const auto read = readIdentifiedTag(path, TagSource::Id3v2First);
    if (read) {
        QVERIFY(read->tag.song.isEmpty() || read->tag.song == "Song");
        QVERIFY(read->tag.artist.isEmpty() || read->tag.artist == "Artist");
    }
}

void FormatTagsTest::anMp4GenreByNumberIsNamed()
{
    testsupport::TempDir dir;
    const QByteArray items = testsupport::mp4Item("\xA9nam", 1, "Song")
        + testsupport::mp4Item("gnre", 0, QByteArray("\0\x09", 2)); // one more than ID3v1's 8, "Jazz"
    const std::string path
        = testsupport::writeFile(dir.path().toStdString(), "a.m4a", testsupport::mp4WithItems(items));
    const auto read = readFormatTag(path, AudioFormat::Mp4);
    QVERIFY(read);
    QCOMPARE(read->tag.genre, QString("Jazz"));
}

QTEST_GUILESS_MAIN(FormatTagsTest)
#include "tst_formattags.moc"
