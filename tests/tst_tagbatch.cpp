#include "platform/patchfile.h"
#include "rename/pattern.h"
#include "tags/tagjournal.h"
#include "tags/tagsave.h"
#include "tags/tagwrite.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace zentrio;
using testsupport::readFile;

namespace {

// The fields a matched name gives, spelled "track=03|song=Title".
QString spelled(const std::optional<MatchedFields>& fields)
{
    if (!fields)
        return "no match";
    QStringList parts;
    for (const auto& [field, value] : *fields) {
        for (const PatternFieldName& name : patternFieldNames(PatternUse::Matching)) {
            if (name.field == field)
                parts << QString::fromLatin1(name.name) + '=' + value;
        }
    }
    return parts.join('|');
}

// An ID3v2.3 tag with room to spare, audio, and an ID3v1 record.
QByteArray bothTags(const QByteArray& song)
{
    return testsupport::id3v2(3, { { QString(song) }, { "Artist" }, { "Album" } }) + testsupport::audio(4000)
        + testsupport::id3v1(song, "Artist", "Album");
}

} // namespace

// Tags from file names, one edit for many files, and their undo.
class TagBatchTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void namesMatchPatterns_data();
    void namesMatchPatterns();
    void aNameNotValidUtf8IsReadByCodePage1252();
    void aPatternOfManyOptionalPartsMatchesAtOnce();
    void aBatchWritesWhatTheSwitchAllows();
    void undoAfterARestartPutsBackBothTagsAndSkipsAFileChangedSince();
    void aKilledBatchLeavesOldOrNewTagsAndUndoBringsTheOldBack();
    void theJournalKeepsTheNewestCommandsOnly();

private:
    testsupport::TempDir m_state;
};

void TagBatchTest::initTestCase() { qputenv("XDG_STATE_HOME", m_state.path().toUtf8()); }

void TagBatchTest::namesMatchPatterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("underscores");
    QTest::addColumn<QString>("expected");
    const QString full = "{track} - {artist} - {song}";
    QTest::newRow("three parts") << full << "03 - Artist - Title" << false << "track=03|artist=Artist|song=Title";
    QTest::newRow("fewer parts than the pattern") << full << "03 - Title" << false << "no match";
    QTest::newRow("shortest text first") << "{artist}-{song}" << "AC-DC-Thunder" << false << "artist=AC|song=DC-Thunder";
    QTest::newRow("ignore") << "{ignore} - {song}" << "x - y - Title" << false << "song=y - Title";
    QTest::newRow("number beside text") << "{track}{song}" << "03Title" << false << "track=03|song=Title";
    QTest::newRow("year") << "{artist} - {year} - {album}" << "Band - 1977 - Album" << false
                          << "artist=Band|year=1977|album=Album";
    QTest::newRow("optional part present") << "[{disc}-]{track} {song}" << "1-03 Song" << false
                                           << "disc=1|track=03|song=Song";
    QTest::newRow("optional part absent") << "[{disc}-]{track} {song}" << "03 Song" << false << "track=03|song=Song";
    QTest::newRow("underscores as blanks") << "{artist} - {song}" << "The_Band_-_Title" << true
                                           << "artist=The Band|song=Title";
    QTest::newRow("underscores kept") << "{artist} - {song}" << "The_Band_-_Title" << false << "no match";
    QTest::newRow("a number that is no number") << "{track} {song}" << "A1 Song" << false << "no match";
    QTest::newRow("underscores as blanks in the pattern too") << "{track}_{song}" << "01_Some_Song" << true
                                                            << "track=01|song=Some Song";
    QTest::newRow("underscores in the pattern kept") << "{track}_{song}" << "01_Some_Song" << false
                                                     << "track=01|song=Some_Song";
    QTest::newRow("optional part between texts") << "{artist}[ - {album}] - {song}" << "A - B - C" << false
                                                 << "artist=A|album=B|song=C";
    QTest::newRow("nested optional parts") << "{song}[ ({year}[, {genre}])]" << "Song (1977, Rock)" << false
                                           << "song=Song|year=1977|genre=Rock";
}

void TagBatchTest::namesMatchPatterns()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, underscores);
    QFETCH(QString, expected);
    const ParsedPattern parsed = parsePattern(pattern, PatternUse::Matching);
    QVERIFY(parsed.ok());
    QCOMPARE(spelled(matchPattern(parsed.parts, name, underscores)), expected);
}

// A name in code page 1252 gives its letters, as the ID3v1 record does,
// never U+FFFD; the same name in UTF-8 gives the same.
void TagBatchTest::aNameNotValidUtf8IsReadByCodePage1252()
{
    const ParsedPattern parsed = parsePattern("{album} - {song}", PatternUse::Matching);
    const QString expected = QString::fromUtf8("album=été|song=Café \u201Cx\u201D");
    QCOMPARE(spelled(matchFileName(parsed.parts, "\xE9t\xE9 - Caf\xE9 \x93x\x94.mp3")), expected);
    QCOMPARE(spelled(matchFileName(parsed.parts, "\xC3\xA9t\xC3\xA9 - Caf\xC3\xA9 \xE2\x80\x9Cx\xE2\x80\x9D.mp3")),
        expected);
}

// 49 optional fields at the longest pattern read: a backtracking search
// would try more ways than there are atoms before it says "no match".
void TagBatchTest::aPatternOfManyOptionalPartsMatchesAtOnce()
{
    const ParsedPattern parsed = parsePattern(QString("[{artist}]").repeated(49) + "{song}.end", PatternUse::Matching);
    QVERIFY(parsed.ok());
    QVERIFY(!matchPattern(parsed.parts, QString(250, 'a')));
    const auto fields = matchPattern(parsed.parts, QString(250, 'a') + ".end");
    QCOMPARE(fields->back(), std::make_pair(PatternField::Song, QString(201, 'a'))); // each artist took one "a"
}

// Switch off: the ID3v1 record takes song, artist and album only; switch
// on: the ID3v2 tag takes every field. A field not given keeps its value,
// and a name that is not valid UTF-8 is written all the same.
void TagBatchTest::aBatchWritesWhatTheSwitchAllows()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string odd = testsupport::writeFile(folder, "\xFF odd.mp3", bothTags("Old"));
    const std::string plain = testsupport::writeFile(folder, "plain.mp3", testsupport::audio(600));
    const TagValues values { { TagField::Song, "Title" }, { TagField::Track, "7" }, { TagField::Album, "Record" } };
    const TagJournal journal(defaultTagJournalPath());

    auto result = writeTagBatch({ { odd, values }, { plain, values } }, TagSource::Id3v1, 2026, journal);
    QCOMPARE(result.written, 2);
    auto read = readFileTag(plain, TagSource::Id3v1);
    QCOMPARE(QStringList({ read->song, read->artist, read->album, read->track }),
        QStringList({ "Title", "", "Record", "" }));

    result = writeTagBatch({ { odd, { { TagField::Track, "7" }, { TagField::Genre, "Rock" } } } },
        TagSource::Id3v2First, 2026, journal);
    QCOMPARE(result.written, 1);
    read = readFileTag(odd, TagSource::Id3v2First);
    QCOMPARE(QStringList({ read->song, read->artist, read->album, read->track, read->genre }),
        QStringList({ "Old", "Artist", "Album", "7", "Rock" }));
}

void TagBatchTest::undoAfterARestartPutsBackBothTagsAndSkipsAFileChangedSince()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    std::vector<std::pair<std::string, TagValues>> files;
    std::vector<QByteArray> before;
    for (int i = 0; i < 3; ++i) {
        before.push_back(i == 2 ? testsupport::audio(600) : bothTags("Song " + QByteArray::number(i)));
        files.emplace_back(testsupport::writeFile(folder, "f" + std::to_string(i) + ".mp3", before.back()),
            TagValues { { TagField::Album, QString(2000, 'a') } }); // the first tag must grow
    }
    QCOMPARE(writeTagBatch(files, TagSource::Id3v2First, 2026, TagJournal(defaultTagJournalPath())).written, 3);
    testsupport::writeFile(folder, "f1.mp3", readFile(files[1].first) + "changed");

    const auto outcome = TagJournal(defaultTagJournalPath()).undoNewest(); // a new journal object: a restart
    QVERIFY(outcome);
    QCOMPARE(outcome->restored, 2);
    QCOMPARE(outcome->skipped, 1);
    QCOMPARE(readFile(files[0].first), before[0]);
    QCOMPARE(readFile(files[2].first), before[2]);
    QVERIFY(readFile(files[1].first).endsWith("changed"));
}

// A batch of 300 files killed at several moments: every file keeps its
// audio and has its old tag or its new one; the next start and an undo
// bring every file back byte for byte.
void TagBatchTest::aKilledBatchLeavesOldOrNewTagsAndUndoBringsTheOldBack()
{
    for (const int delayMicroseconds : { 2000, 20000, 80000 }) {
        testsupport::TempDir dir;
        const std::string folder = dir.path().toStdString();
        std::vector<std::pair<std::string, TagValues>> files;
        std::vector<QByteArray> before;
        for (int i = 0; i < 300; ++i) {
            before.push_back(bothTags("Song " + QByteArray::number(i)));
            files.emplace_back(testsupport::writeFile(folder, "f" + std::to_string(1000 + i) + ".mp3", before.back()),
                TagValues { { TagField::Song, "New" } });
        }
        const pid_t child = ::fork();
        if (child == 0) {
            writeTagBatch(files, TagSource::Id3v2First, 2026, TagJournal(defaultTagJournalPath()));
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(delayMicroseconds));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        fs::restoreInterruptedPatches(tagCopyFolder()); // what a start does
        for (std::size_t i = 0; i < files.size(); ++i) {
            const QByteArray now = readFile(files[i].first);
            QCOMPARE(now.mid(now.size() - 4128, 4000), testsupport::audio(4000));
            const QString song = readFileTag(files[i].first, TagSource::Id3v2First)->song;
            QVERIFY2(song == "New" || song == QString("Song %1").arg(i), qPrintable(song));
        }
        const auto outcome = TagJournal(defaultTagJournalPath()).undoNewest();
        if (outcome && outcome->restored + outcome->skipped > 0) { // the journal was written before the kill
            for (std::size_t i = 0; i < files.size(); ++i)
                QCOMPARE(readFile(files[i].first), before[i]);
        }
    }
}

void TagBatchTest::theJournalKeepsTheNewestCommandsOnly()
{
    testsupport::TempDir dir;
    const TagJournal journal(dir.path().toStdString() + "/tagjournal");
    for (int i = 0; i < 40; ++i)
        QVERIFY(journal.record({ { "file" + std::to_string(i), 300, std::nullopt, true, std::string(64, 'x'), {} } }));
    const auto commands = journal.load();
    QVERIFY(commands);
    QVERIFY(commands->size() >= kTagJournalCommands && commands->size() <= kTagJournalCommands * 3 / 2);
    QCOMPARE(commands->back().front().path, std::string("file39"));
}

QTEST_MAIN(TagBatchTest)
#include "tst_tagbatch.moc"
