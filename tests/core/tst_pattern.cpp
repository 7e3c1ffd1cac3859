#include "rename/naming/compose.h"
#include "rename/folderrun/renamerun.h"
#include "rename/folderrun/runplan.h"
#include "tags/read/tagsource.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

using namespace zentrio;

Q_DECLARE_METATYPE(PatternError::Reason)

namespace {

// Tag fields spelled "song=Yesterday|track=3|tracks=12".
TagFields tagOf(const QString& spelling)
{
    TagFields tag;
    tag.found = true;
    QHash<QString, QString*> slots { { "song", &tag.song }, { "artist", &tag.artist }, { "album", &tag.album },
        { "track", &tag.track }, { "tracks", &tag.tracks }, { "disc", &tag.disc }, { "discs", &tag.discs },
        { "year", &tag.year }, { "genre", &tag.genre }, { "albumartist", &tag.albumArtist } };
    for (const QString& pair : spelling.split('|', Qt::SkipEmptyParts))
        *slots.value(pair.section('=', 0, 0)) = pair.section('=', 1);
    return tag;
}

NameOptions ownOptions(const QString& pattern, const QString& flags)
{
    NameOptions options;
    options.pattern = Pattern::Own;
    options.own = std::make_shared<const ParsedPattern>(parsePattern(pattern));
    options.numbered = flags.contains("numbered");
    options.foldO = flags.contains("foldo");
    options.noAccent = flags.contains("noaccent");
    options.noSpace = flags.contains("nospace");
    if (flags.contains("runwidth3"))
        options.widths.track = 3;
    return options;
}

} // namespace

class PatternTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void names_data();
    void names();
    void malformedPatternsNameThePlace_data();
    void malformedPatternsNameThePlace();
    void theExtraFieldsComeFromBothTags();
    void theRunDecidesTheTrackWidthOnceForPlanAndRun();
};

void PatternTest::names_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("expected"); // empty: the file is skipped

    const QString beatles = "song=Yesterday|artist=The Beatles|album=Help!";
    QTest::newRow("fields, numbered adds no prefix")
        << "{artist} - {album} - {song}" << beatles << "numbered" << "The Beatles - Help! - Yesterday.mp3";
    QTest::newRow("track padded to its total")
        << "{track} - {song}" << beatles + "|track=3|tracks=12" << "" << "03 - Yesterday.mp3";
    QTest::newRow("track of a long total") << "{track}" << "track=7|tracks=120" << "" << "007.mp3";
    QTest::newRow("track without total: two digits") << "{track}" << "track=3" << "" << "03.mp3";
    QTest::newRow("track without total: the run's width") << "{track}" << "track=5" << "runwidth3" << "005.mp3";
    QTest::newRow("forced width") << "{track:3}-{tracks}" << "track=03|tracks=12" << "" << "003-12.mp3";
    QTest::newRow("disc and discs") << "{disc}of{discs}-{track}" << "disc=1|discs=2|track=4|tracks=9" << ""
                                    << "1of2-04.mp3";
    QTest::newRow("optional part, empty field") << "[{disc}-]{track} {song}" << beatles + "|track=1" << ""
                                                << "01 Yesterday.mp3";
    QTest::newRow("optional part, filled field") << "[{disc}-]{track} {song}" << beatles + "|track=1|disc=2" << ""
                                                 << "2-01 Yesterday.mp3";
    QTest::newRow("nested, inner empty") << "{song}[ ({year}[, {genre}])]" << beatles + "|year=1965" << ""
                                         << "Yesterday (1965).mp3";
    QTest::newRow("nested, outer empty") << "{song}[ ({year}[, {genre}])]" << beatles + "|genre=Pop" << ""
                                         << "Yesterday.mp3";
    QTest::newRow("year, genre, album artist") << "{albumartist} {year} {genre}"
                                               << "albumartist=Various|year=2001-05-03|genre=Pop" << ""
                                               << "Various 2001 Pop.mp3";
    QTest::newRow("case modifiers") << "{artist:upper} {song:lower} {album:title}"
                                    << "song=YesterDay|artist=The Beatles|album=help me o'rhonda" << ""
                                    << "THE BEATLES yesterday Help Me O'rhonda.mp3";
    QTest::newRow("running number and separator") << "{n}{sep}{song} {n:3}" << beatles << "" << "03 - Yesterday 003.mp3";
    QTest::newRow("slash in a value") << "{artist} - {song}" << "artist=AC/DC|song=Back\\Black" << ""
                                      << "AC-DC - Back-Black.mp3";
    QTest::newRow("control characters dropped") << "{song}" << QString("song=a\tb\x01") << "" << "ab.mp3";
    QTest::newRow("escapes") << "\\[{song}\\] \\{x\\}" << beatles << "" << "[Yesterday] {x}.mp3";
    QTest::newRow("slash in the pattern") << "{artist}/{song}" << beatles << "" << "The Beatles_Yesterday.mp3";
    QTest::newRow("blanks trimmed") << "  [{disc}] {song}  " << beatles << "" << "Yesterday.mp3";
    QTest::newRow("options after the pattern") << "{artist} {song}" << QString::fromUtf8("artist=Válogatás|song=Szõke")
                                               << "noaccent foldo nospace" << "Valogatas_Szoke.mp3";
    QTest::newRow("leading dot") << "{song}" << "song=.38 Special" << "" << "_38 Special.mp3";
    QTest::newRow("name comes out empty") << "[{disc}-{track}]" << beatles + "|track=2" << "" << "";
    QTest::newRow("unreadable pattern names nothing") << "{title}" << beatles << "" << "";
    QTest::newRow("fallback: the first field given") << "{albumartist|artist} - {song}" << beatles << ""
                                                   << "The Beatles - Yesterday.mp3";
    QTest::newRow("fallback: the field itself when given") << "{albumartist|artist}" << beatles + "|albumartist=Various"
                                                         << "" << "Various.mp3";
    QTest::newRow("fallback: a text holding a colon and a bar") << "{albumartist|genre|\"Various: Artists|x\"}"
                                                              << beatles << "" << "Various: Artists|x.mp3";
    QTest::newRow("fallback: the modifier applies to it") << "{albumartist|artist:upper}" << beatles << ""
                                                        << "THE BEATLES.mp3";
    QTest::newRow("the pattern's own extension is not doubled") << "{song}.MP3" << beatles << "" << "Yesterday.mp3";
    QTest::newRow("fallback: a number keeps the width") << "{disc|track:3}" << "track=4" << "" << "004.mp3";
    QTest::newRow("fallback: all empty in an optional part") << "[{disc|year}-]{song}" << beatles << ""
                                                           << "Yesterday.mp3";
    QTest::newRow("too long: cut to 255 bytes")
        << "{song}{song}" << "song=" + QString(200, QChar(0x00E9)) << "" << QString(125, QChar(0x00E9)) + ".mp3";
}

void PatternTest::names()
{
    QFETCH(QString, pattern);
    QFETCH(QString, tag);
    QFETCH(QString, flags);
    QFETCH(QString, expected);
    QCOMPARE(composeNewName(tagOf(tag), ownOptions(pattern, flags), 3), expected);
}

void PatternTest::malformedPatternsNameThePlace_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<PatternError::Reason>("reason");
    QTest::addColumn<int>("position");
    using R = PatternError::Reason;
    QTest::newRow("unknown field") << "a {title}" << R::UnknownField << 2;
    QTest::newRow("unknown modifier") << "{song:big}" << R::UnknownModifier << 6;
    QTest::newRow("width on a text field") << "{song:3}" << R::UnknownModifier << 6;
    QTest::newRow("unclosed brace") << "x{song" << R::UnclosedBrace << 1;
    QTest::newRow("unclosed bracket") << "a[{song}" << R::UnclosedBracket << 1;
    QTest::newRow("unclosed outer bracket") << "[[{disc}]" << R::UnclosedBracket << 0;
    QTest::newRow("stray bracket") << "a]" << R::StrayBracket << 1;
    QTest::newRow("stray brace") << "a}" << R::StrayBrace << 1;
    QTest::newRow("backslash at the end") << "abc\\" << R::TrailingBackslash << 3;
    QTest::newRow("too long") << QString(kMaxPatternLength + 1, 'x') << R::TooLong << int(kMaxPatternLength);
    QTest::newRow("unknown fallback field") << "{artist|singer}" << R::UnknownField << 8;
    QTest::newRow("a fallback read back from names")
        << "{artist|album}" << R::FallbackInMatch << 7;
    QTest::newRow("fallback text not closed") << "{artist|\"Various}" << R::UnclosedQuote << 0;
}

void PatternTest::malformedPatternsNameThePlace()
{
    QFETCH(QString, pattern);
    QFETCH(PatternError::Reason, reason);
    QFETCH(int, position);
    const bool readBack = reason == PatternError::Reason::FallbackInMatch;
    const ParsedPattern parsed = parsePattern(pattern, readBack ? PatternUse::Matching : PatternUse::Naming);
    QVERIFY(!parsed.ok());
    QVERIFY(parsed.error);
    QCOMPARE(parsed.error->reason, reason);
    QCOMPARE(parsed.error->position, position);
}

// The ID3v1.1 record gives year, track and genre; ID3v2 frames give the
// rest, "n/m" split, 2.3's TYER and a "(17)" genre reference understood.
void PatternTest::theExtraFieldsComeFromBothTags()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    QByteArray record = testsupport::id3v1("Song", "Artist", "Album");
    record[125] = '\0';
    record[126] = '\x07';
    record[127] = '\x11'; // 17, "Rock"
    const std::string v1 = testsupport::writeFile(folder, "v1.mp3", testsupport::audio(300) + record);
    const auto one = readFileTag(v1, TagSource::Id3v1);
    QVERIFY(one);
    QCOMPARE(QStringList({ one->track, one->year, one->genre }), QStringList({ "7", "2001", "Rock" }));

    testsupport::Id3v2Content content({ "Title" }, { "Artist" }, { "Album" });
    content.track = "3/12";
    content.frames = { { "TPOS", "1/2" }, { "TYER", "1977" }, { "TCON", "(17)" }, { "TPE2", "Band" } };
    const std::string v2 = testsupport::writeFile(folder, "v2.mp3", testsupport::id3v2(3, content) + testsupport::audio(600));
    const auto two = readFileTag(v2, TagSource::Id3v2First);
    QVERIFY(two);
    QCOMPARE(QStringList({ two->track, two->tracks, two->disc, two->discs, two->year, two->genre, two->albumArtist }),
        QStringList({ "3", "12", "1", "2", "1977", "Rock", "Band" }));
}

// A 120-track folder numbers "001" to "120" in the preview and in the run.
void PatternTest::theRunDecidesTheTrackWidthOnceForPlanAndRun()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<RunItem> items;
    for (const char* track : { "1", "120" }) {
        testsupport::Id3v2Content content({ QString("T") + track }, { "A" }, { "B" });
        content.track = track;
        const std::string name = std::string("x") + track + ".mp3";
        testsupport::writeFile(folder, name, testsupport::id3v2(4, content) + testsupport::audio(600));
        items.push_back({ true, name });
    }
    const NameOptions options = ownOptions("{track} {song}", "numbered");
    const auto plan = planFolderRun(folder, checkedMp3Names(items), options, TagSource::Id3v2First);
    QVERIFY(plan);
    QCOMPARE((*plan)[0].newName, std::string("001 T1.mp3"));
    QCOMPARE((*plan)[1].newName, std::string("120 T120.mp3"));
    QCOMPARE(runRename(folder, items, options, {}, TagSource::Id3v2First).renamed, 2);
    QVERIFY(testsupport::exists(folder + "/001 T1.mp3"));
    QVERIFY(testsupport::exists(folder + "/120 T120.mp3"));
}

QTEST_MAIN(PatternTest)
#include "tst_pattern.moc"
