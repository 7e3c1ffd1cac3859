#include "rename/naming/compose.h"
#include "rename/naming/foldernames.h"

#include <QTest>

using namespace zentrio;

namespace {

TagFields tag(const QString& song, const QString& artist = "Artist", const QString& album = "Album")
{
    return TagFields { true, song, artist, album };
}

NameOptions plain(Pattern pattern, const QString& separator = " - ")
{
    NameOptions o;
    o.pattern = pattern;
    o.separator = separator;
    o.numbered = false;
    o.foldO = false;
    o.noAccent = false;
    o.noSpace = false;
    return o;
}

} // namespace

class ComposeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void patterns_data();
    void patterns();
    void numbering_data();
    void numbering();
    void characterPasses_data();
    void characterPasses();
    void commandLinePasses_data();
    void commandLinePasses();
    void passesNeverChangeTheLength();
    void kiegeszitFitsToWidth_data();
    void kiegeszitFitsToWidth();
    void longNamesAreCutToFit_data();
    void longNamesAreCutToFit();
    void aNameNeverStartsWithADot_data();
    void aNameNeverStartsWithADot();
    void eachFileKeepsItsOwnExtension_data();
    void eachFileKeepsItsOwnExtension();
};

void ComposeTest::patterns_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("expected");
    QTest::newRow("song") << 1 << " - " << "A" << "L" << "Song.mp3";
    QTest::newRow("artist-song") << 2 << " - " << "A" << "L" << "A - Song.mp3";
    QTest::newRow("artist - album - song") << 3 << " - " << "A" << "L" << "A - L - Song.mp3";
    QTest::newRow("album - song") << 4 << " - " << "A" << "L" << "L - Song.mp3";
    QTest::newRow("song (artist)") << 5 << "_" << "A" << "L" << "Song (A).mp3";
    QTest::newRow("song by artist") << 6 << "_" << "A" << "L" << "Song by A.mp3";
    QTest::newRow("TRACK01") << 7 << " - " << "A" << "L" << "TRACK03.mp3";
    QTest::newRow("empty artist keeps its separator") << 2 << " - " << "" << "L" << " - Song.mp3";
    QTest::newRow("empty album: two separators") << 3 << " - " << "A" << "" << "A -  - Song.mp3";
    QTest::newRow("empty separator") << 2 << "" << "A" << "L" << "ASong.mp3";
    QTest::newRow("slash in the separator") << 2 << "/" << "A" << "L" << "A_Song.mp3";
    QTest::newRow("slash and ampersand in fields") << 3 << " - " << "AC/DC" << "Rock & Roll"
                                                   << "AC_DC - Rock n Roll - Song.mp3";
    QTest::newRow("backslash") << 2 << "\\" << "A" << "L" << "A_Song.mp3";
    QTest::newRow("NUL in the separator") << 2 << QString(QChar(0)) << "A" << "L" << "A_Song.mp3";
    QTest::newRow("characters that stay") << 2 << ":" << "Who?" << "L" << "Who?:Song.mp3";
    QTest::newRow("star and quote stay") << 2 << "*" << "\"A\"" << "L" << "\"A\"*Song.mp3";
}

void ComposeTest::patterns()
{
    QFETCH(int, pattern);
    QFETCH(QString, separator);
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QTEST(composeNewName(tag("Song", artist, album), plain(Pattern(pattern), separator), 3), "expected");
}

void ComposeTest::numbering_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("9") << 1 << 9 << "09-Song.mp3";
    QTest::newRow("10") << 1 << 10 << "10-Song.mp3";
    QTest::newRow("100") << 1 << 100 << "100-Song.mp3";
    QTest::newRow("TRACK 1") << 7 << 1 << "01-TRACK01.mp3";
    QTest::newRow("TRACK 9") << 7 << 9 << "09-TRACK09.mp3";
    QTest::newRow("TRACK 10") << 7 << 10 << "10-TRACK10.mp3";
    QTest::newRow("TRACK 100") << 7 << 100 << "100-TRACK100.mp3";
}

void ComposeTest::numbering()
{
    QFETCH(int, pattern);
    QFETCH(int, number);
    NameOptions options = plain(Pattern(pattern), "_");
    options.numbered = true; // the prefix's hyphen is fixed, whatever the separator
    QTEST(composeNewName(tag("Song"), options, number), "expected");
}

void ComposeTest::characterPasses_data()
{
    QTest::addColumn<QString>("song");
    QTest::addColumn<bool>("foldO");
    QTest::addColumn<bool>("noAccent");
    QTest::addColumn<bool>("noSpace");
    QTest::addColumn<QString>("expected");
    const QString hungarian = QString::fromUtf8("ÁÍÛõÕôÜÔÄé");
    QTest::newRow("no passes") << hungarian << false << false << false << hungarian + ".mp3";
    QTest::newRow("no õ alone") << hungarian << true << false << false << QString::fromUtf8("ÁÍÛöÖöÜÔÄé.mp3");
    QTest::newRow("no accent alone") << hungarian << false << true << false << QString::fromUtf8("AIUoOoÜÔÄe.mp3");
    QTest::newRow("both") << hungarian << true << true << false << QString::fromUtf8("AIUoOoÜÔÄe.mp3");
    QTest::newRow("every folded letter") << QString::fromUtf8("ÕÓÖÁÚÍÉÛöôóíáéüúû") << false << true << false
                                         << QString("OOOAUIEUoooiaeuuu.mp3");
    QTest::newRow("no space") << "a b" << false << false << true << "a_b.mp3";
    const QString nfd = QString::fromUtf8("Cafe\xCC\x81 O\xCC\x83");
    QTest::newRow("an NFD tag: an NFC name") << nfd << false << false << false << QString::fromUtf8("Café Õ.mp3");
    QTest::newRow("an NFD tag: folded like NFC") << nfd << true << true << false << "Cafe O.mp3";
}

void ComposeTest::characterPasses()
{
    QFETCH(QString, song);
    NameOptions options = plain(Pattern::Song);
    QFETCH(bool, foldO);
    QFETCH(bool, noAccent);
    QFETCH(bool, noSpace);
    options.foldO = foldO;
    options.noAccent = noAccent;
    options.noSpace = noSpace;
    QTEST(composeNewName(tag(song), options, 1), "expected");
}

// The command line keeps "&" and folds every accented Latin or Greek
// letter; the table's letters keep the results the window gives them.
void ComposeTest::commandLinePasses_data()
{
    QTest::addColumn<QString>("song");
    QTest::addColumn<bool>("noAccent");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ampersand stays") << "Simon & Garfunkel" << false << "Simon & Garfunkel.mp3";
    QTest::newRow("Hungarian double acute") << QString::fromUtf8("Őrült Ütő ű") << true << "Orult Uto u.mp3";
    QTest::newRow("letters beyond the table") << QString::fromUtf8("äàñç ÄÀÑÇ ά") << true
                                              << QString::fromUtf8("aanc AANC α.mp3");
    QTest::newRow("the table's letters as in the window") << QString::fromUtf8("ÕÓÖÁÚÍÉÛöôóíáéüúûõ") << true
                                                          << QString("OOOAUIEUoooiaeuuuo.mp3");
    QTest::newRow("letters that are no accented ones stay") << QString::fromUtf8("ß ø й が") << true
                                                            << QString::fromUtf8("ß ø й が.mp3");
    QTest::newRow("without no accent nothing folds") << QString::fromUtf8("Őrült") << false
                                                     << QString::fromUtf8("Őrült.mp3");
}

void ComposeTest::commandLinePasses()
{
    QFETCH(QString, song);
    QFETCH(bool, noAccent);
    NameOptions options = plain(Pattern::Song);
    options.ampersandToN = false;
    options.foldEveryAccent = true;
    options.noAccent = noAccent;
    QTEST(composeNewName(tag(song), options, 1), "expected");
}

void ComposeTest::passesNeverChangeTheLength()
{
    NameOptions options = plain(Pattern::SongByArtist, " / ");
    options.noSpace = true;
    options.foldO = true;
    options.noAccent = true;
    const QString name = composeNewName(tag("R & B", QString::fromUtf8("Ő Ü")), options, 1);
    QCOMPARE(name, QString::fromUtf8("R_n_B_by_Ő_Ü.mp3"));
    QCOMPARE(name.size(), QString("R & B by ").size() + 3 + 4);
}

void ComposeTest::kiegeszitFitsToWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("12 characters") << "twelve chars" << "twelve chars" + QString(18, ' ');
    QTest::newRow("30 characters") << QString(30, 'x') << QString(30, 'x');
    QTest::newRow("31 characters") << QString(30, 'x') + "y" << QString(30, 'x');
    QTest::newRow("empty") << "" << QString(30, ' ');
}

void ComposeTest::kiegeszitFitsToWidth()
{
    QFETCH(QString, text);
    QTEST(kiegeszit(text, 30), "expected");
}

void ComposeTest::longNamesAreCutToFit_data()
{
    QTest::addColumn<QString>("song");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("expected");
    const QString o = QString::fromUtf8("ő"); // two bytes in UTF-8
    const QString emoji = QString::fromUtf8("😀"); // four bytes, two UTF-16 units
    QTest::newRow("fits exactly") << QString(251, 'a') << false << QString(251, 'a') + ".mp3";
    QTest::newRow("one byte over") << QString(252, 'a') << false << QString(251, 'a') + ".mp3";
    QTest::newRow("two-byte letters, odd room") << QString(200, o[0]) << false << QString(125, o[0]) + ".mp3";
    QTest::newRow("prefix kept") << QString(200, o[0]) << true << "07-" + QString(124, o[0]) + ".mp3";
    QTest::newRow("never half a pair") << "a" + emoji.repeated(100) << false << "a" + emoji.repeated(62) + ".mp3";
}

void ComposeTest::longNamesAreCutToFit()
{
    QFETCH(QString, song);
    QFETCH(bool, numbered);
    NameOptions options = plain(Pattern::Song);
    options.numbered = numbered;
    const QString name = composeNewName(tag(song), options, 7);
    QTEST(name, "expected");
    QVERIFY(name.toUtf8().size() <= 255);
}

void ComposeTest::aNameNeverStartsWithADot_data()
{
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty song") << 1 << "" << "" << false << "_.mp3";
    QTest::newRow("dotted artist") << 2 << "Hold On" << ".38 Special" << false << "_38 Special - Hold On.mp3";
    QTest::newRow("numbered stays") << 2 << "Hold On" << ".38 Special" << true << "03-.38 Special - Hold On.mp3";
    QTest::newRow("inner dots stay") << 1 << "a.b." << "" << false << "a.b..mp3";
}

void ComposeTest::aNameNeverStartsWithADot()
{
    QFETCH(int, pattern);
    QFETCH(QString, song);
    QFETCH(QString, artist);
    QFETCH(bool, numbered);
    NameOptions options = plain(static_cast<Pattern>(pattern));
    options.numbered = numbered;
    QTEST(composeNewName(tag(song, artist), options, 3), "expected");
}

void ComposeTest::eachFileKeepsItsOwnExtension_data()
{
    QTest::addColumn<int>("pattern"); // 8: the own pattern "{artist} - {song}"
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("an MP3 in capitals: .mp3 as always") << 1 << true << "Song" << "x.MP3" << "01-Song.mp3";
    QTest::newRow("a FLAC") << 1 << true << "Song" << "x.flac" << "01-Song.flac";
    QTest::newRow("an M4A in capitals, lower-cased") << 2 << false << "Song" << "x.M4A" << "A - Song.m4a";
    QTest::newRow("TRACK01, Opus") << 7 << false << "Song" << "x.opus" << "TRACK01.opus";
    QTest::newRow("a leading dot made _") << 1 << false << ".hidden" << "x.ape" << "_hidden.ape";
    QTest::newRow("a long name cut before its own ending")
        << 1 << false << QString(300, 'a') << "x.flac" << QString(250, 'a') + ".flac";
    QTest::newRow("a tag that ends like an MP3") << 1 << false << "Song.mp3" << "x.flac" << "Song.mp3.flac";
    QTest::newRow("the own pattern") << 8 << false << "Song" << "x.FLAC" << "A - Song.flac";
    QTest::newRow("no audio name keeps .mp3") << 1 << false << "Song" << "notes.txt" << "Song.mp3";
}

// The road of the window's run, its preview and its pop-up: the folder's
// names composed with each file's old name.
void ComposeTest::eachFileKeepsItsOwnExtension()
{
    QFETCH(int, pattern);
    QFETCH(bool, numbered);
    QFETCH(QString, song);
    QFETCH(QString, oldName);
    NameOptions options = plain(static_cast<Pattern>(pattern));
    options.numbered = numbered;
    if (options.pattern == Pattern::Own)
        options.own = std::make_shared<const ParsedPattern>(parsePattern("{artist} - {song}"));
    const TagFields fields = tag(song, "A");
    const std::vector<std::string> names = folderNewNames({ &fields }, options, { oldName.toStdString() });
    QTEST(QString::fromStdString(names.at(0)), "expected");
    QVERIFY(names.at(0).size() <= kMaxNameBytes);
}

QTEST_GUILESS_MAIN(ComposeTest)
#include "tst_compose.moc"
