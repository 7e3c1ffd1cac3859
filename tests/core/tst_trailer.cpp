#include "tags/read/cp1252.h"
#include "tags/read/id3v1genres.h"
#include "tags/read/trailer.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

#include <taglib/id3v1genres.h>

using namespace zentrio;
using testsupport::audio;
using testsupport::id3v1;

class TrailerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowIsTheBytesBeforeTheLastOne_data();
    void windowIsTheBytesBeforeTheLastOne();
    void marker_data();
    void marker();
    void fields_data();
    void fields();
    void codePageRoundTrip();
    void recordExtras_data();
    void recordExtras();
    void genreNamesAreTagLibs();
};

void TrailerTest::windowIsTheBytesBeforeTheLastOne_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("readable");
    QTest::newRow("empty") << 0 << false;
    QTest::newRow("100 bytes") << 100 << false;
    QTest::newRow("256 bytes") << 256 << false;
    QTest::newRow("257 bytes") << 257 << true;
    QTest::newRow("4000 bytes") << 4000 << true;
}

void TrailerTest::windowIsTheBytesBeforeTheLastOne()
{
    QFETCH(int, size);
    QFETCH(bool, readable);
    testsupport::TempDir dir;
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    const auto path = testsupport::writeFile(dir.path().toStdString(), "f.mp3", bytes);
    const auto window = readTrailerWindow(path);
    QCOMPARE(window.has_value(), readable);
    if (readable) {
        QCOMPARE(window->fileLength, size);
        QCOMPARE(QByteArray::fromStdString(window->bytes), bytes.mid(size - 257, 256));
    }
    QVERIFY(!readTrailerWindow(dir.path().toStdString() + "/missing.mp3"));
    QVERIFY(!testsupport::exists(dir.path().toStdString() + "/missing.mp3"));
}

void TrailerTest::marker_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("p");
    const QByteArray record = id3v1("Song", "Artist", "Album");
    QTest::newRow("standard record") << audio(300) + record << 130;
    QTest::newRow("lower-case marker") << audio(300) + id3v1("s", "a", "l", ' ', "tag") << 130;
    QTest::newRow("mixed-case marker") << audio(300) + id3v1("s", "a", "l", ' ', "TaG") << 130;
    QTest::newRow("no marker") << audio(400) << 0;
    QTest::newRow("marker in the last three bytes only") << audio(400) + "TAG" << 0;
    QByteArray spelled = audio(400);
    spelled.replace(spelled.size() - 257 + 19, 3, "tAg");
    QTest::newRow("tAg in audio, no record") << spelled << 20;
    // audio bytes that spell the marker before a real record: the record at the standard place wins
    QByteArray early = audio(300) + record;
    early.replace(early.size() - 257 + 19, 3, "tAg");
    QTest::newRow("tAg in audio, real record at 130") << early << 130;
    QByteArray late = audio(400);
    late.replace(late.size() - 257 + 239, 3, "TAG");
    QTest::newRow("marker late in the window") << late << 240;
    QByteArray apeOnly = audio(400);
    apeOnly.replace(apeOnly.size() - 257 + 100, 8, "APETAGEX");
    QTest::newRow("APEv2 footer without a record") << apeOnly << 0;
    const QByteArray apeFooter = QByteArray("APETAGEX") + QByteArray(24, '\x01');
    QTest::newRow("APEv2 footer before a record") << audio(300) + apeFooter + record << 130;
    QByteArray apeThenShiftedRecord = audio(300) + apeFooter + record + QByteArray(5, '\x01');
    QTest::newRow("APEv2 footer, record not at the standard place")
        << apeThenShiftedRecord << 130 - 5;
}

void TrailerTest::marker()
{
    QFETCH(QByteArray, file);
    QFETCH(int, p);
    testsupport::TempDir dir;
    const auto path = testsupport::writeFile(dir.path().toStdString(), "f.mp3", file);
    const auto window = readTrailerWindow(path);
    QVERIFY(window);
    QCOMPARE(findMarker(window->bytes), p);
}

void TrailerTest::fields_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::newRow("space padding") << audio(300) + id3v1("  Song ", "Artist", "Album") << "Song"
                                   << "Artist"
                                   << "Album";
    QTest::newRow("NUL padding ends a field") << audio(300) + id3v1("Song", "Art\0junk", "Album", '\0') << "Song"
                                              << "Art"
                                              << "Album";
    QTest::newRow("30 spaces") << audio(300) + id3v1("", "", "") << ""
                               << ""
                               << "";
    QTest::newRow("full 30 characters") << audio(300)
            + id3v1("123456789012345678901234567890", "A", "B") << "123456789012345678901234567890"
                                        << "A"
                                        << "B";
    QByteArray late = audio(400);
    late.replace(late.size() - 257 + 239, 17, "TAGabcdefghijklmn");
    QTest::newRow("marker at 240: a short song") << late << "abcdefghijklmn"
                                                 << ""
                                                 << "";
    QTest::newRow("code page 1252") << audio(300) + id3v1("\xF5\xE1\x80", "\xDC", "x") << QString::fromUtf8("õá€")
                                    << QString::fromUtf8("Ü") << "x";
    QTest::newRow("only blanks trimmed, not a no-break space")
        << audio(300) + id3v1(" \xA0Song\xA0 ", " \x93Hi\x94 ", "\x80") << QString::fromUtf8("\u00A0Song\u00A0")
        << QString::fromUtf8("\u201CHi\u201D") << QString::fromUtf8("€");
}

void TrailerTest::fields()
{
    QFETCH(QByteArray, file);
    testsupport::TempDir dir;
    const auto tag = readTag(testsupport::writeFile(dir.path().toStdString(), "f.mp3", file));
    QVERIFY(tag && tag->found);
    QTEST(tag->song, "song");
    QTEST(tag->artist, "artist");
    QTEST(tag->album, "album");
    QVERIFY(!tag->song.contains(QChar(0)) && !tag->artist.contains(QChar(0)));
}

void TrailerTest::codePageRoundTrip()
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    const QString text = decodeCp1252(all.toStdString());
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x81), QChar(0x81));
    QCOMPARE(text.at(0x9D), QChar(0x9D));
    QCOMPARE(encodeCp1252(text), all);
    QCOMPARE(encodeCp1252(QString::fromUtf8("a\u0151b😀")), QByteArray("a?b?"));
}

// Year, ID3v1.1 track and genre from the record's last bytes.
void TrailerTest::recordExtras_data()
{
    QTest::addColumn<QByteArray>("year");
    QTest::addColumn<QByteArray>("end"); // comment's last two bytes and the genre byte
    QTest::addColumn<QString>("wantYear");
    QTest::addColumn<QString>("wantTrack");
    QTest::addColumn<QString>("wantGenre");
    QTest::newRow("all three") << QByteArray("1999") << QByteArray("\0\x07\x11", 3) << "1999" << "7" << "Rock";
    QTest::newRow("a year not of four digits, no track")
        << QByteArray("19x9") << QByteArray("  \x0C", 3) << "" << "" << "Other";
    QTest::newRow("no genre") << QByteArray("2001") << QByteArray("\0\0\xFF", 3) << "2001" << "" << "";
}

void TrailerTest::recordExtras()
{
    QFETCH(QByteArray, year);
    QFETCH(QByteArray, end);
    QByteArray record = "TAG" + QByteArray(90, ' ') + year + QByteArray(28, ' ') + end;
    QCOMPARE(record.size(), 128);
    TagFields tag;
    addRecordExtras(tag, record.toStdString(), 1);
    QTEST(tag.year, "wantYear");
    QTEST(tag.track, "wantTrack");
    QTEST(tag.genre, "wantGenre");
}

// The record's genres are named without TagLib, as TagLib names them: a
// name that differed would compose other file names than before. TagLib
// takes each name back to its byte, as a tag write asks it to.
void TrailerTest::genreNamesAreTagLibs()
{
    for (int code = 0; code < 256; ++code) {
        const QString taglib = QString::fromStdWString(TagLib::ID3v1::genre(code).toWString());
        QCOMPARE(id3v1GenreName(code), taglib);
        if (!taglib.isEmpty())
            QCOMPARE(TagLib::ID3v1::genreIndex(TagLib::String(taglib.toStdString())), code);
    }
}

QTEST_GUILESS_MAIN(TrailerTest)
#include "tst_trailer.moc"
