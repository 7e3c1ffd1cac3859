#include "platform/fs/patchfile.h"
#include "rename/naming/pathmatch.h"
#include "rename/naming/pattern.h"
#include "tags/journal/tagjournal.h"
#include "tags/write/tagsave.h"
#include "tags/write/tagwrite.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>
#include <QtEndian>

#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
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

// An ID3v1.1 record: track 5, year 1999, genre 17, a comment.
QByteArray id3v11Record()
{
    QByteArray record = testsupport::id3v1("Old song", "Old artist", "Old album");
    record.replace(93, 4, "1999");
    record.replace(97, 28, QByteArray("a comment").leftJustified(28, ' '));
    record[125] = '\0';
    record[126] = 5;
    record[127] = 17;
    return record;
}

// A 2.4 tag whose artist frame holds two values, with "3/12" for its
// track, a year frame and a cover picture.
QByteArray richTag()
{
    testsupport::Id3v2Content content({ "Old song" }, { "One", "Two" }, { "Old album" });
    content.track = "3/12";
    content.pictureBytes = 5000;
    content.frames = { { "TDRC", "1999" } };
    return testsupport::id3v2(4, content);
}

// The frames of a tag, each as its whole bytes, by id.
QMap<QByteArray, QByteArray> framesOf(const QByteArray& file)
{
    QMap<QByteArray, QByteArray> frames;
    if (!file.startsWith("ID3"))
        return frames;
    const auto size = [&](qsizetype at) {
        int n = 0;
        for (int i = 0; i < 4; ++i)
            n = (n << 7) | (static_cast<unsigned char>(file[at + i]) & 0x7F);
        return n;
    };
    const qsizetype end = 10 + size(6);
    for (qsizetype at = 10; at + 10 <= end && file[at] != '\0';) {
        const int frame = file[3] == 4 ? size(at + 4) : qFromBigEndian<qint32>(file.constData() + at + 4);
        frames[file.mid(at, 4)] = file.mid(at, 10 + frame);
        at += 10 + frame;
    }
    return frames;
}

QString fieldsOfFile(const std::string& path, TagSource source)
{
    const auto read = readFileTag(path, source);
    return read ? QStringList({ read->song, read->artist, read->album, read->track + '/' + read->tracks, read->year,
                                  read->genre })
                      .join('|')
                : QString("unreadable");
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
    void aBatchChangesOnlyWhatItNames_data();
    void aBatchChangesOnlyWhatItNames();
    void aFileAndALinkToItAreWrittenOnce();
    void aJournalThatCannotBeWrittenStopsTheBatch();
    void aTornJournalTailIsCutBackToTheLastWholeCommand();
    void undoLeavesAFileChangedSinceEvenWithItsTimeKept();
    void pathsGiveValues_data();
    void pathsGiveValues();
    void aJournalOfTheEarlierFormIsStillUndone();
    void anUndoThatCannotReachItsFilesKeepsTheCommand();

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

// Each row writes one field into a file with the given tags and checks
// what is read back; every byte the field does not own is checked to stay:
// the audio, the record's other bytes, and the ID3v2 frames not named.
void TagBatchTest::aBatchChangesOnlyWhatItNames_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("id3v2");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // song|artist|album|track/tracks|year|genre, read by the switch
    const QByteArray v1 = testsupport::id3v1("Old song", "Old artist", "Old album");
    const int album = int(TagField::Album);
    const int track = int(TagField::Track);
    QTest::newRow("off, record: year and genre stay") << QByteArray() << v1 << false << album << "New"
                                                      << "Old song|Old artist|New|/|2001|Other";
    QTest::newRow("off, ID3v1.1: track, year, genre stay") << QByteArray() << id3v11Record() << false << album << "New"
                                                          << "Old song|Old artist|New|5/|1999|Rock";
    QTest::newRow("off, no record: a whole one") << QByteArray() << QByteArray() << false << album << "New"
                                                      << "||New|/|2026|Other";
    QTest::newRow("on, record kept in step") << richTag() << id3v11Record() << true << album << "New"
                                             << "Old song|One / Two|New|3/12|1999|";
    QTest::newRow("on, a track keeps its total") << richTag() << v1 << true << track << "5"
                                                 << "Old song|One / Two|Old album|5/12|1999|";
    QTest::newRow("on, a track with its own total") << richTag() << v1 << true << track << "7/9"
                                                    << "Old song|One / Two|Old album|7/9|1999|";
    QTest::newRow("on, a named multi-value frame") << richTag() << QByteArray() << true << int(TagField::Artist) << "Solo"
                                                   << "Old song|Solo|Old album|3/12|1999|";
    QTest::newRow("on, 2.3 year") << testsupport::id3v2(3, { { "S" }, { "A" }, { "B" } }) << v1 << true
                                  << int(TagField::Year) << "1977" << "S|A|B|/|1977|";
    QTest::newRow("on, a record alone: the new tag takes its fields") << QByteArray() << id3v11Record() << true << album
                                                                  << "New" << "Old song|Old artist|New|5/|1999|Rock";
    QTest::newRow("on, a 2.2 tag, edited as 2.2") << testsupport::id3v2(2, { { "S" }, { "A" }, { "B" } }) << v1
                                                         << true << album << "New" << "S|A|New|/||";
    QTest::newRow("on, no tag yet: a new tag and a whole record")
        << QByteArray() << QByteArray() << true << track << "4" << "|||4/|2026|Other";
}

void TagBatchTest::aBatchChangesOnlyWhatItNames()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, record);
    QFETCH(bool, id3v2);
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    testsupport::TempDir dir;
    const QByteArray audio = testsupport::audio(3000);
    const QByteArray before = tag + audio + record;
    const std::string path = testsupport::writeFile(dir.path().toStdString(), "f.mp3", before);
    const TagSource source = id3v2 ? TagSource::Id3v2First : TagSource::Id3v1;
    const auto result = writeTagBatch({ { path, { { TagField(field), value } } } }, source, 2026,
        TagJournal(dir.path().toStdString() + "/journal"));
    QCOMPARE(result.written, 1);

    const QByteArray after = readFile(path);
    QCOMPARE(fieldsOfFile(path, source), expected);
    const qsizetype tagEnd = after.indexOf(audio);
    QVERIFY(tagEnd >= 0); // the audio is whole
    if (!record.isEmpty()) {
        QCOMPARE(after.size() - tagEnd, audio.size() + 128); // the record was written in place
        QCOMPARE(after.right(128).mid(97, 28), record.mid(97, 28)); // the comment
        if (!id3v2)
            QCOMPARE(after.right(128).mid(93), record.mid(93)); // year, comment, track and genre
    }
    const auto oldFrames = framesOf(tag);
    const auto newFrames = framesOf(after);
    for (auto frame = oldFrames.begin(); frame != oldFrames.end(); ++frame) {
        const bool named = (field == int(TagField::Album) && frame.key() == "TALB")
            || (field == int(TagField::Track) && frame.key() == "TRCK")
            || (field == int(TagField::Artist) && frame.key() == "TPE1")
            || (field == int(TagField::Year) && (frame.key() == "TYER" || frame.key() == "TDRC"));
        if ((!named || !id3v2) && !tag.startsWith("ID3\x02"))
            QCOMPARE(newFrames.value(frame.key()), frame.value());
    }
    // Undo brings every byte back.
    const auto undone = TagJournal(dir.path().toStdString() + "/journal").undoNewest();
    QVERIFY(undone);
    QCOMPARE(undone->restored, 1);
    QCOMPARE(readFile(path), before);
}

// Two checked names for one file: it is read and written once, so the
// second write never lands on a layout computed before the first.
void TagBatchTest::aFileAndALinkToItAreWrittenOnce()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string path = testsupport::writeFile(folder, "a.mp3", bothTags("Old"));
    const std::string link = folder + "/b.mp3";
    QCOMPARE(::symlink(path.c_str(), link.c_str()), 0);
    const TagValues grows { { TagField::Album, QString(3000, 'x') } }; // the tag must grow
    const auto result = writeTagBatch({ { path, grows }, { link, grows } }, TagSource::Id3v2First, 2026,
        TagJournal(folder + "/journal"));
    QCOMPARE(result.written, 1);
    QCOMPARE(result.failed, 0);
    const QByteArray after = readFile(path);
    QCOMPARE(after.count("ID3"), 1);
    QVERIFY(after.endsWith(testsupport::audio(4000) + after.right(128)));
    QCOMPARE(readFileTag(link, TagSource::Id3v2First)->album, QString(3000, 'x'));
}

// A journal that cannot take the command: nothing is written, and the
// reason comes back for the message line.
void TagBatchTest::aJournalThatCannotBeWrittenStopsTheBatch()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray before = bothTags("Old");
    const std::string path = testsupport::writeFile(folder, "a.mp3", before);
    const std::string notAFolder = testsupport::writeFile(folder, "state", "a file where the folder would be");
    for (const auto source : { TagSource::Id3v1, TagSource::Id3v2First }) {
        const auto result = writeTagBatch({ { path, { { TagField::Album, "New" } } } }, source, 2026,
            TagJournal(notAFolder + "/zentrio/tagjournal"));
        QCOMPARE(result.written, 0);
        QVERIFY(!result.journalError.empty());
        QCOMPARE(readFile(path), before);
    }
}

// A command cut short by a crash, or bytes no command can be read from, at
// the end of the journal: a torn tail is cut back to the last whole block
// and the older history stays; the files a cut-short command had recorded
// before the crash stay undoable.
void TagBatchTest::aTornJournalTailIsCutBackToTheLastWholeCommand()
{
    testsupport::TempDir dir;
    const std::string path = dir.path().toStdString() + "/tagjournal";
    const TagJournal journal(path);
    for (int i = 0; i < 3; ++i)
        QVERIFY(journal.record({ { "file" + std::to_string(i), 300, std::nullopt, true, std::string(64, 'x'), {} } }));
    const QByteArray whole = readFile(path);
    const QByteArray command = whole.mid(whole.lastIndexOf("tagcommand"));
    const QByteArray firstFile = command.left(command.indexOf("end "));
    for (const QByteArray& tail : { QByteArray("\x01\x02garbage"), command.left(40), firstFile + "file 5 30" }) {
        testsupport::writeFile(dir.path().toStdString(), "tagjournal", whole + tail);
        const auto commands = journal.load();
        QVERIFY(commands);
        const bool keptOpen = tail.startsWith(firstFile);
        QCOMPARE(commands->size(), std::size_t(keptOpen ? 4 : 3));
        QCOMPARE(readFile(path).left(whole.size()), whole);
        if (keptOpen)
            QCOMPARE(commands->back().size(), std::size_t(1));
        else
            QCOMPARE(readFile(path), whole);
    }
    QVERIFY(journal.record({ { "file3", 300, std::nullopt, false, {}, {} } }));
    QCOMPARE(journal.load()->size(), std::size_t(5));
}

// Another tagger changed one file after the batch and set its time back:
// undo knows the file by its tag bytes, not by its time, and leaves it; a
// torn journal tail left by a crash before the batch costs nothing.
void TagBatchTest::undoLeavesAFileChangedSinceEvenWithItsTimeKept()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const TagJournal journal(folder + "/tagjournal");
    testsupport::writeFile(folder, "tagjournal", "tagcommand 5\nfile 3");
    std::vector<std::pair<std::string, TagValues>> files;
    std::vector<QByteArray> before;
    for (int i = 0; i < 2; ++i) {
        before.push_back(bothTags("Song " + QByteArray::number(i)));
        files.emplace_back(testsupport::writeFile(folder, "f" + std::to_string(i) + ".mp3", before.back()),
            TagValues { { TagField::Album, "New" } });
    }
    QCOMPARE(writeTagBatch(files, TagSource::Id3v2First, 2026, journal).written, 2);
    struct stat st {};
    ::stat(files[0].first.c_str(), &st);
    QByteArray theirs = readFile(files[0].first);
    theirs.replace(theirs.indexOf("New"), 3, "Odd");
    testsupport::writeFile(folder, "f0.mp3", theirs);
    const timespec times[2] = { st.st_atim, st.st_mtim };
    QCOMPARE(::utimensat(AT_FDCWD, files[0].first.c_str(), times, 0), 0);

    const auto outcome = journal.undoNewest();
    QVERIFY(outcome);
    QCOMPARE(outcome->restored, 1);
    QCOMPARE(outcome->skipped, 1);
    QCOMPARE(readFile(files[0].first), theirs);
    QCOMPARE(readFile(files[1].first), before[1]);
    QCOMPARE(journal.load()->size(), std::size_t(0));
}

// A pattern with "/" reads the folders above the file too.
void TagBatchTest::pathsGiveValues_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("expected"); // the values by field, or "no match" / "cannot be read"
    const QString library = "{albumartist}/{album}/{track} - {song}";
    QTest::newRow("two folders and the name") << library << QByteArray("/m/Band/Live/01 - First.mp3")
                                              << "song=First|album=Live|track=01|albumartist=Band";
    QTest::newRow("fewer folders than the pattern") << library << QByteArray("Live/01 - First.mp3") << "no match";
    QTest::newRow("a folder that does not match") << "{year} - {album}/{song}" << QByteArray("/m/Live/First.mp3")
                                                  << "no match";
    QTest::newRow("the name wins over a folder") << "{artist}/{artist} - {song}" << QByteArray("/m/A/B - Song.mp3")
                                                 << "song=Song|artist=B";
    QTest::newRow("an escaped slash is no folder") << "{artist} \\/ {song}" << QByteArray("/m/A / B.mp3")
                                                  << "no match";
    QTest::newRow("a folder in code page 1252") << "{album}/{song}" << QByteArray("/m/Caf\xE9/x.mp3")
                                                << QString::fromUtf8("song=x|album=Café");
    QTest::newRow("a slash inside brackets") << "[{disc}/]{song}" << QByteArray("/m/1/x.mp3") << "cannot be read";
    QTest::newRow("nothing between two slashes") << "{artist}//{song}" << QByteArray("/m/a/b/c.mp3") << "cannot be read";
}

void TagBatchTest::pathsGiveValues()
{
    QFETCH(QString, pattern);
    QFETCH(QByteArray, path);
    QFETCH(QString, expected);
    const PathPattern parsed = parsePathPattern(pattern);
    if (!parsed.ok()) {
        QCOMPARE(QString("cannot be read"), expected);
        return;
    }
    const auto values = valuesFromPath(parsed, path.toStdString());
    QStringList found;
    const char* names[] = { "song", "artist", "album", "track", "disc", "year", "genre", "albumartist" };
    for (const auto& [field, value] : values.value_or(TagValues {}))
        found << QString(names[int(field)]) + '=' + value;
    QCOMPARE(values ? found.join('|') : QString("no match"), expected);
}

// A journal written before commands had ids (a whole old region, stamps
// after the command) is still read and undone.
void TagBatchTest::aJournalOfTheEarlierFormIsStillUndone()
{
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const QByteArray before = bothTags("Old");
    const std::string path = testsupport::writeFile(folder, "a.mp3", before);
    const QByteArray region = before.left(before.indexOf(testsupport::audio(4000)));
    QCOMPARE(writeTagBatch({ { path, { { TagField::Song, "New" } } } }, TagSource::Id3v2First, 2026,
                 TagJournal(folder + "/other"))
                 .written,
        1);
    const auto stamp = fileStamp(path);
    const QByteArray earlier = "command 1\nfile " + QByteArray::number(qsizetype(path.size())) + ' '
        + QByteArray::number(before.size()) + " 1 1 " + QByteArray::number(region.size()) + '\n'
        + QByteArray::fromStdString(path) + before.right(128) + region + "\nend\nstamps 1\n"
        + QByteArray::number(qint64(stamp->first)) + ' ' + QByteArray::number(qint64(stamp->second)) + '\n';
    testsupport::writeFile(folder, "tagjournal", earlier);
    const auto outcome = TagJournal(folder + "/tagjournal").undoNewest();
    QVERIFY(outcome);
    QCOMPARE(outcome->restored, 1);
    QCOMPARE(readFile(path), before);
}

// A disk unplugged between the change and its undo: the undo puts back
// what it can reach and keeps the command, and a later undo finishes it.
void TagBatchTest::anUndoThatCannotReachItsFilesKeepsTheCommand()
{
    testsupport::TempDir dir;
    const std::string stick = dir.path().toStdString() + "/stick";
    ::mkdir(stick.c_str(), 0700);
    const QByteArray before = bothTags("Old");
    const std::string path = testsupport::writeFile(stick, "a.mp3", before);
    const TagJournal journal(dir.path().toStdString() + "/tagjournal");
    QCOMPARE(writeTagBatch({ { path, { { TagField::Album, "New" } } } }, TagSource::Id3v2First, 2026, journal).written, 1);
    QCOMPARE(::rename(stick.c_str(), (stick + "-unplugged").c_str()), 0);
    auto outcome = journal.undoNewest();
    QVERIFY(outcome && outcome->kept);
    QCOMPARE(outcome->restored, 0);
    QCOMPARE(::rename((stick + "-unplugged").c_str(), stick.c_str()), 0);
    outcome = journal.undoNewest();
    QVERIFY(outcome && !outcome->kept);
    QCOMPARE(outcome->restored, 1);
    QCOMPARE(readFile(path), before);
    QCOMPARE(journal.load()->size(), std::size_t(0));
}

QTEST_MAIN(TagBatchTest)
#include "tst_tagbatch.moc"
