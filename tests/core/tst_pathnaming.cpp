#include "platform/fs/filenames.h"
#include "rename/naming/pathnaming.h"

#include <QTest>

using namespace zentrio;

namespace {

NameOptions ownPattern(const QString& pattern)
{
    NameOptions options;
    options.pattern = Pattern::Own;
    options.own = std::make_shared<const ParsedPattern>(parsePattern(pattern));
    options.foldO = options.noAccent = false;
    return options;
}

} // namespace

// New paths from the own pattern: its folders, its optional parts, the
// fields it needs, and names that a folder or a disk would not take.
class PathNamingTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathsFromThePattern_data();
    void pathsFromThePattern();
};

void PathNamingTest::pathsFromThePattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("albumArtist");
    QTest::addColumn<QString>("expected"); // components joined by "|", or "missing: ..."
    const QString library = "{albumartist}/{year} - {album}/{track} - {song}";
    QTest::newRow("artist, album and song folders") << library << "Song"
                                                    << "A"
                                                    << "Band"
                                                    << "Band|1999 - Album|03 - Song.mp3";
    QTest::newRow("a slash in a value is no folder") << "{artist}/{song}"
                                                     << "Song"
                                                     << "AC/DC"
                                                     << ""
                                                     << "AC-DC|Song.mp3";
    QTest::newRow("a needed field is empty") << library << "Song"
                                             << "A"
                                             << ""
                                             << "missing: albumartist";
    QTest::newRow("an optional part may be empty") << "[{albumartist}/]{song}"
                                                   << "Song"
                                                   << "A"
                                                   << ""
                                                   << "Song.mp3";
    QTest::newRow("an empty folder part is left out") << "{artist}/ /{song}"
                                                      << "Song"
                                                      << "A"
                                                      << ""
                                                      << "A|Song.mp3";
    QTest::newRow("no hidden folder") << "{artist}/{song}"
                                      << "Song"
                                      << ".."
                                      << ""
                                      << "_.|Song.mp3";
    QTest::newRow("no folder of the pattern's last slash") << "{artist}/"
                                                           << "Song"
                                                           << "A"
                                                           << ""
                                                           << "";
    QTest::newRow("a 300-byte title") << "{artist}/{song}" << QString(150, QChar(0xE9)) << "A"
                                      << ""
                                      << "A|" + QString(125, QChar(0xE9)) + ".mp3";
}

void PathNamingTest::pathsFromThePattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, song);
    QFETCH(QString, artist);
    QFETCH(QString, albumArtist);
    QFETCH(QString, expected);
    TagFields tag { true, song, artist, "Album", "3", "", "", "", "1999-05-01", "", albumArtist };
    const NameOptions options = withRunWidths(ownPattern(pattern), { &tag });
    const QStringList missing = missingFields(options.own->parts, tag);
    if (expected.startsWith("missing: ")) {
        QCOMPARE(missing.join(", "), expected.mid(9));
        return;
    }
    QVERIFY(missing.isEmpty());
    QStringList components;
    for (const QString& component : composeNewPath(tag, options, 1)) {
        QVERIFY(textToName(component).size() <= kMaxNameBytes);
        components << component;
    }
    QCOMPARE(components.join("|"), expected);
}

QTEST_GUILESS_MAIN(PathNamingTest)
#include "tst_pathnaming.moc"
