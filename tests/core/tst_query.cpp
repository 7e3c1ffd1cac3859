#include "platform/fs/filenames.h"
#include "tags/query/querymatch.h"
#include "tags/query/queryparse.h"

#include <QTest>

using namespace zentrio;

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

} // namespace

class QueryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filesAreTakenByTheQuery_data();
    void filesAreTakenByTheQuery();
};

// Each row: a query, a file's fields and path, and whether the file is
// taken ("yes", "no"), or the fault said ("at character 7: unknown field").
void QueryTest::filesAreTakenByTheQuery_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    const QString beatles = "song=Hey Jude|artist=The Beatles|album=Past Masters|year=1968|track=07|genre=Rock";
    const QString mp3 = "/music/The Beatles/Past Masters/07 Hey Jude.mp3";

    QTest::newRow("contains, any case") << "artist:BEAT" << beatles << mp3 << "yes";
    QTest::newRow("contains, not there") << "artist:stones" << beatles << mp3 << "no";
    QTest::newRow("accents ignored in the file") << "artist:motorhead" << QString::fromUtf8("artist=Motörhead") << mp3
                                                 << "yes";
    QTest::newRow("accents ignored in the query") << QString::fromUtf8("artist:MOTÖRHEAD") << "artist=Motorhead" << mp3
                                                  << "yes";
    QTest::newRow("a decomposed accent") << QString::fromUtf8("song:cafe") << QString::fromUtf8("song=Cafe\xCC\x81")
                                         << mp3 << "yes";
    QTest::newRow("exact, quoted") << "artist:=\"The Beatles\"" << beatles << mp3 << "yes";
    QTest::newRow("exact is exact: case") << "artist:=\"the beatles\"" << beatles << mp3 << "no";
    QTest::newRow("exact is the whole field") << "artist:=Beatles" << beatles << mp3 << "no";
    QTest::newRow("regex") << "song::^Hey\\s+J" << beatles << mp3 << "yes";
    QTest::newRow("regex minds case") << "song::jude$" << beatles << mp3 << "no";
    QTest::newRow("regex (?i)") << "song::(?i)jude$" << beatles << mp3 << "yes";
    QTest::newRow("empty field") << "albumartist:" << beatles << mp3 << "yes";
    QTest::newRow("empty field, filled") << "genre:" << beatles << mp3 << "no";
    QTest::newRow("empty field, quoted") << "genre:\"\"" << "genre=" << mp3 << "yes";
    QTest::newRow("range in") << "year:1960..1969" << beatles << mp3 << "yes";
    QTest::newRow("range out") << "year:1970..1979" << beatles << mp3 << "no";
    QTest::newRow("range, no year never in") << "year:..2100" << "song=x" << mp3 << "no";
    QTest::newRow("negated range, no year") << "-year:1960..1969" << "song=x" << mp3 << "yes";
    QTest::newRow("open end") << "track:..9" << beatles << mp3 << "yes";
    QTest::newRow("open end, numbers not text") << "track:..9" << "track=12" << mp3 << "no";
    QTest::newRow("open start") << "disc:2.." << "disc=2" << mp3 << "yes";
    QTest::newRow("one number is that number") << "track:7" << beatles << mp3 << "yes";
    QTest::newRow("one number, not its digits") << "track:1" << "track=10" << mp3 << "no";
    QTest::newRow("a date's year") << "year:1994" << "year=1994-05-01" << mp3 << "yes";
    QTest::newRow("a number field takes text too") << "year:-05" << "year=1994-05-01" << mp3 << "yes";
    QTest::newRow("negated") << "-artist:beatles" << beatles << mp3 << "no";
    QTest::newRow("every term must hold") << "artist:beatles year:1970.." << beatles << mp3 << "no";
    QTest::newRow("or binds tighter: second alternative") << "artist:stones,artist:beatles year:1960.." << beatles
                                                          << mp3 << "yes";
    QTest::newRow("or binds tighter: the and fails") << "artist:stones,artist:beatles year:1970.." << beatles << mp3
                                                     << "no";
    QTest::newRow("or with blanks around the comma") << "artist:stones , artist:beatles" << beatles << mp3 << "yes";
    QTest::newRow("or of negations") << "-artist:beatles,-year:1968" << beatles << mp3 << "no";
    QTest::newRow("no field: the song") << "jude" << beatles << mp3 << "yes";
    QTest::newRow("no field: the album artist") << "various" << "albumartist=Various Artists" << mp3 << "yes";
    QTest::newRow("no field: not the genre") << "rock" << beatles << mp3 << "no";
    QTest::newRow("no field: not the path") << "music" << beatles << mp3 << "no";
    QTest::newRow("a quoted value with blanks and a comma") << "artist:\"Earth, Wind & Fire\""
                                                            << "artist=Earth, Wind & Fire" << mp3 << "yes";
    QTest::newRow("a doubled quote in quotes") << "song:\"say \"\"hi\"\"\"" << "song=They say \"hi\"" << mp3 << "yes";
    QTest::newRow("a quoted colon without field") << "\"ac:dc\"" << "artist=AC:DC" << mp3 << "yes";
    QTest::newRow("field names in any case") << "AlbumArtist:=" << beatles << mp3 << "yes";
    QTest::newRow("format by the extension") << "format:flac" << beatles << "/m/a.FLAC" << "yes";
    QTest::newRow("format by its name, not the extension") << "format:=m4a" << beatles << "/m/a.m4b" << "yes";
    QTest::newRow("format, another") << "format:flac" << beatles << mp3 << "no";
    QTest::newRow("ext") << "ext:=mp3" << beatles << mp3 << "yes";
    QTest::newRow("path, quoted") << "path:\"beatles/past\"" << beatles << mp3 << "yes";
    QTest::newRow("folder, absolute") << "folder:=\"/music/The Beatles/Past Masters\"" << beatles << mp3 << "yes";
    QTest::newRow("folder is not the file's name") << "folder:jude" << beatles << mp3 << "no";
    QTest::newRow("name") << "name::^07 " << beatles << mp3 << "yes";
    QTest::newRow("a name that is not UTF-8") << "name:x.mp3" << beatles << nameToText("/m/\xFFx.mp3") << "yes";
    QTest::newRow("a name that is not UTF-8, by a regex") << "name::^.x\\.mp3$" << beatles << nameToText("/m/\xFFx.mp3")
                                                          << "yes";

    QTest::newRow("fault: unknown field") << "year:1968 artst:x" << beatles << mp3
                                          << "at character 11: unknown field \"artst\"";
    QTest::newRow("fault: a colon makes a field") << "ac:dc" << beatles << mp3
                                                  << "at character 1: unknown field \"ac\"";
    QTest::newRow("fault: the run's number is no file's") << "n:1" << beatles << mp3 << "unknown field \"n\"";
    QTest::newRow("fault: unclosed quote") << "year:1968 genre:\"rock" << beatles << mp3
                                           << "at character 17: the quote is not closed";
    QTest::newRow("fault: a bad regex at its place") << "song::ab(" << beatles << mp3
                                                     << "at character 10: the regular expression cannot be read";
    QTest::newRow("fault: nothing after -") << "year:1968 -" << beatles << mp3 << "at character 11: a term is missing";
    QTest::newRow("fault: nothing after ,") << "artist:a, " << beatles << mp3 << "at character 9: a term is missing";
    QTest::newRow("fault: nothing before ,") << ",artist:a" << beatles << mp3 << "at character 1: a term is missing";
    QTest::newRow("fault: .. alone") << "year:.." << beatles << mp3 << "at character 6: a range needs a number";
    QTest::newRow("fault: backwards range") << "year:1999..1990" << beatles << mp3
                                            << "at character 6: the range starts past its end";
    QTest::newRow("fault: a huge number") << "track:1..99999999999999999999" << beatles << mp3
                                          << "at character 10: the number is too large";
    QTest::newRow("fault: blanks alone") << "   " << beatles << mp3 << "the query is empty";
}

void QueryTest::filesAreTakenByTheQuery()
{
    QFETCH(QString, query);
    QFETCH(QString, tag);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const ParsedQuery parsed = parseQuery(query);
    if (expected == "yes" || expected == "no") {
        QVERIFY2(parsed.ok(), qPrintable(parsed.error ? queryErrorText(*parsed.error) : QString()));
        QCOMPARE(matchesQuery(parsed.query, tagOf(tag), textToName(path)), expected == "yes");
        return;
    }
    QVERIFY(!parsed.ok());
    QVERIFY2(queryErrorText(*parsed.error).contains(expected), qPrintable(queryErrorText(*parsed.error)));
}

QTEST_GUILESS_MAIN(QueryTest)
#include "tst_query.moc"
