#include "tags/tagsource.h"
#include "tags/tagwrite.h"
#include "tags/fromnamewindow.h"
#include "testsupport/formfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;
using testsupport::readFile;

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// zentrio-cli run in `folder`, with the state folder the fixture gave the
// window: both programs share one tag journal.
Result runCli(const std::string& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder));
    process.start(ZENTRIO_CLI, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}

// "path=title|artist|album|track" (raw bytes): an ID3v2.3 tag before the
// audio; a trailing "+v1" gives the file an ID3v1 record too; "path=" no
// tag at all.
std::string makeFile(const std::string& root, const QByteArray& entry)
{
    const std::string path = entry.left(entry.indexOf('=')).toStdString();
    for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir((root + "/" + path.substr(0, slash)).c_str(), 0755);
    QString tags = QString::fromUtf8(entry.mid(entry.indexOf('=') + 1));
    const bool record = tags.endsWith("+v1");
    tags.remove("+v1");
    QByteArray bytes = testsupport::audio(2000);
    const QStringList tag = tags.split('|');
    if (!tags.isEmpty()) {
        testsupport::Id3v2Content content { { tag[0] }, { tag.value(1) }, { tag.value(2) } };
        content.track = tag.value(3);
        bytes.prepend(testsupport::id3v2(3, content));
    }
    if (record)
        bytes += testsupport::id3v1("Old", "Old", "Old");
    return testsupport::writeFile(root, path, bytes);
}

QString fields(const std::string& path, TagSource source = TagSource::Id3v2First)
{
    const auto tag = readFileTag(path, source);
    if (!tag)
        return "unreadable";
    return QStringList { tag->song, tag->artist, tag->album, tag->track + '/' + tag->tracks, tag->year,
        tag->albumArtist }
        .join('|');
}

} // namespace

// zentrio-cli tag run as a person runs it: what it says, its exit status,
// the tags it leaves, and an undo that brings every byte back; and one tag
// history shared with the window.
class CliTagTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tagRunsAndTheirUndo_data();
    void tagRunsAndTheirUndo();
    void eitherProgramUndoesTheOthersChange();
    void filesGoneSinceNeverBlockUndo();
    void tagsFromNamesThenRenameComeBackInEitherOrder_data();
    void tagsFromNamesThenRenameComeBackInEitherOrder();
    void theWindowFindsFilesTheCommandLineRenamed();
    void tagChangeAfterARunComesBackAfterItsUndo_data();
    void tagChangeAfterARunComesBackAfterItsUndo();
    void dryRunNeverDrops_data();
    void dryRunNeverDrops();
};

void CliTagTest::tagRunsAndTheirUndo_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a line the run must print (stdout and stderr)
    QTest::addColumn<QString>("after"); // the file's fields after the run, read ID3v2 first
    const QByteArray tagged = "Album/03 - Song.mp3=Song|Band|Album|3/12+v1";
    QTest::newRow("set: a track keeps its total, the record keeps in step")
        << tagged << QStringList { "set", "--track", "5", "--albumartist", "Band", "Album" } << 0
        << "Album/03 - Song.mp3: track \"3/12\" -> \"5/12\", albumartist \"\" -> \"Band\""
        << "Song|Band|Album|5/12||Band";
    QTest::newRow("set: a track with its own total")
        << tagged << QStringList { "set", "--track", "7/9", "Album/03 - Song.mp3" } << 0
        << "written 1, unchanged 0, no match 0, failed 0; undo with: zentrio-cli tag undo" << "Song|Band|Album|7/9||";
    QTest::newRow("set: a file named alone and through its folder is written once")
        << tagged << QStringList { "set", "--album", "Other", "Album/03 - Song.mp3", "Album" } << 0
        << "written 1, unchanged 0, no match 0, failed 0" << "Song|Band|Other|3/12||";
    QTest::newRow("set: a dry run changes nothing")
        << tagged << QStringList { "set", "-n", "--album", "Other", "Album" } << 0
        << "dry run, nothing changed: to write 1, unchanged 0, no match 0, failed 0" << "Song|Band|Album|3/12||";
    QTest::newRow("set: nothing to change") << QByteArray("Album/03 - Song.mp3=Song|Band|Album|3/12")
                                           << QStringList { "set", "--album", "Album", "Album" } << 0
                                           << "written 0, unchanged 1, no match 0, failed 0" << "Song|Band|Album|3/12||";
    QTest::newRow("set, ID3v1 only: a record for a file without tags")
        << QByteArray("plain.mp3=") << QStringList { "set", "--id3v1", "--album", "Live", "--year", "1999", "--track", "4", "." }
        << 0 << "./plain.mp3: album \"\" -> \"Live\", track \"\" -> \"4\", year \"\" -> \"1999\""
        << "||Live|4/|1999|";
    QTest::newRow("from-name: folders and the name")
        << QByteArray("Band/Live/01 - First.mp3=") << QStringList { "from-name", "-r", "-p", "{albumartist}/{album}/{track} - {song}", "." }
        << 0 << "written 1, unchanged 0, no match 0, failed 0; undo with: zentrio-cli tag undo"
        << "First||Live|01/||Band";
    QTest::newRow("from-name: underscores as blanks")
        << QByteArray("01_Some_Song.mp3=") << QStringList { "from-name", "--underscore", "-p", "{track}_{song}", "." } << 0
        << "./01_Some_Song.mp3: song \"\" -> \"Some Song\", track \"\" -> \"01\"" << "Some Song|||01/||";
    QTest::newRow("from-name: a name that does not match is left alone")
        << QByteArray("notes.mp3=") << QStringList { "from-name", "-p", "{track} - {song}", "." } << 0
        << "nomatch: ./notes.mp3: the name does not fit the pattern; left alone" << "|||/||";
    QTest::newRow("from-name: a name in code page 1252")
        << QByteArray("\xE9t\xE9 - Caf\xE9.mp3=") << QStringList { "from-name", "-p", "{artist} - {song}", "." } << 0
        << "written 1" << QString::fromUtf8("Café|été||/||");
    QTest::newRow("usage: no field") << tagged << QStringList { "set", "Album" } << 2 << "name at least one field"
                                     << "Song|Band|Album|3/12||";
    QTest::newRow("usage: a year the ID3v1 record cannot hold")
        << QByteArray("plain.mp3=") << QStringList { "set", "--id3v1", "--year", "12345", "." } << 2
        << "the ID3v1 record holds a year of four digits: cannot set \"12345\"" << "|||/||";
    QTest::newRow("usage: a pattern that cannot be read")
        << tagged << QStringList { "from-name", "-p", "{track} - {sng}", "Album" } << 2
        << "the pattern cannot be read at character 11: unknown field" << "Song|Band|Album|3/12||";
    QTest::newRow("a file too short to hold a tag") << QByteArray("short.mp3=") << QStringList { "set", "--album", "X", "." }
                                                  << 1 << "failed: ./short.mp3: cannot be read" << "unreadable";
}

void CliTagTest::tagRunsAndTheirUndo()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, after);
    testsupport::FormFixture f; // a state folder of this test's own
    const std::string root = f.music();
    const std::string path = makeFile(root, file);
    if (file.startsWith("short"))
        testsupport::writeFile(root, "short.mp3", "tiny");
    const QByteArray before = readFile(path);
    arguments.prepend("tag");
    const Result result = runCli(root, arguments);
    QCOMPARE(result.status, status);
    QVERIFY2((result.out + result.err).contains(output.toUtf8()), (result.out + result.err).constData());
    QCOMPARE(fields(path), after);

    const Result undo = runCli(root, { "tag", "undo" });
    QVERIFY(undo.status == 0);
    QCOMPARE(readFile(path), file.startsWith("short") ? QByteArray("tiny") : before);
}

// The window fills tags from names and the command line takes them back;
// the command line sets an album and the window takes it back.
void CliTagTest::eitherProgramUndoesTheOthersChange()
{
    testsupport::FormFixture f;
    const std::string a = makeFile(f.music(), "01 - Band - First.mp3=");
    const std::string b = makeFile(f.music(), "02 - Band - Second.mp3=");
    const QByteArray before[] = { readFile(a), readFile(b) };
    Form1& form = f.start();
    f.trigger("id3v2");
    f.trigger("selectall");
    f.trigger("fromname");
    auto* window = form.findChild<FromNameWindow*>();
    QVERIFY(window);
    QTest::mouseClick(window->applyButton, Qt::LeftButton);
    QCOMPARE(fields(a), QString("First|Band||01/||"));
    Result result = runCli(f.music(), { "tag", "undo", "--list" });
    QVERIFY(result.out.contains("window  2 files  <- undo takes this one"));
    result = runCli(f.music(), { "tag", "undo" });
    QCOMPARE(result.out, QByteArray("put back 2, changed since or not writable 0\n"));
    QCOMPARE(readFile(a), before[0]);
    QCOMPARE(readFile(b), before[1]);

    result = runCli(f.music(), { "tag", "set", "--album", "Live", "." });
    QCOMPARE(result.status, 0);
    f.trigger("undotag");
    QCOMPARE(f.message(), QString(" tag undo ready: 2 put back, 0 changed since or not writable"));
    QCOMPARE(readFile(a), before[0]);
    QCOMPARE(readFile(b), before[1]);
}

// A file deleted from its folder since counts as changed: the change is
// undone for the rest and leaves the journal. A folder gone as well looks
// like a disk not plugged in, so the change waits for it, and --drop is the
// way on to the change before.
void CliTagTest::filesGoneSinceNeverBlockUndo()
{
    testsupport::FormFixture f;
    const std::string kept = makeFile(f.music(), "A/01 - One.mp3=One|Band|Old|1");
    const std::string deleted = makeFile(f.music(), "A/02 - Two.mp3=Two|Band|Old|2");
    const QByteArray before = readFile(kept);
    QCOMPARE(runCli(f.music(), { "tag", "set", "--album", "New", "A" }).status, 0);
    QVERIFY(::unlink(deleted.c_str()) == 0);
    Result result = runCli(f.music(), { "tag", "undo" });
    QVERIFY2(result.out.contains("put back 1, changed since or not writable 1\n"), result.out.constData());
    QCOMPARE(readFile(kept), before);
    QCOMPARE(runCli(f.music(), { "tag", "undo" }).out, QByteArray("no tag changes to undo\n"));

    QCOMPARE(runCli(f.music(), { "tag", "set", "--album", "First", "A" }).status, 0);
    const std::string moved = makeFile(f.music(), "B/03 - Three.mp3=Three|Band|Old|3");
    QCOMPARE(runCli(f.music(), { "tag", "set", "--album", "Second", "B" }).status, 0);
    QVERIFY(::unlink(moved.c_str()) == 0 && ::rmdir((f.music() + "/B").c_str()) == 0);
    result = runCli(f.music(), { "tag", "undo" });
    QCOMPARE(result.status, 1);
    QVERIFY(result.out.contains("tag undo --drop"));
    result = runCli(f.music(), { "tag", "undo", "--drop" });
    QVERIFY2(result.out.contains("dropped the newest tag change"), result.out.constData());
    QCOMPARE(runCli(f.music(), { "tag", "undo" }).status, 0);
    QCOMPARE(readFile(kept), before);
}

void CliTagTest::tagsFromNamesThenRenameComeBackInEitherOrder_data()
{
    QTest::addColumn<QStringList>("rename");
    QTest::addColumn<bool>("tagUndoFirst"); // tag undo, then undo; else undo, then tag undo
    QTest::addColumn<QString>("spoil"); // what another program does to the first file after the rename
    const QStringList inPlace { "rename", "-r", "-p", "{track} {song}", "Band" };
    const QStringList intoFolders { "rename", "-r", "--to", "Library", "-p", "{albumartist}/{album}/{track} {song}",
        "Band" };
    QTest::newRow("tag undo, then undo") << inPlace << true << QString();
    QTest::newRow("undo, then tag undo") << inPlace << false << QString();
    QTest::newRow("into new folders: tag undo, then undo") << intoFolders << true << QString();
    QTest::newRow("into new folders: undo, then tag undo") << intoFolders << false << QString();
    QTest::newRow("a file rewritten by another program is left alone") << inPlace << true << "rewrite";
    QTest::newRow("a file deleted since is left alone") << intoFolders << true << "delete";
}

// The README's workflow: tags filled from the names, then the files named by
// them; both are taken back, in either order, byte for byte, and the older
// tag change of another folder stays for the next undo.
void CliTagTest::tagsFromNamesThenRenameComeBackInEitherOrder()
{
    QFETCH(QStringList, rename);
    QFETCH(bool, tagUndoFirst);
    QFETCH(QString, spoil);
    testsupport::FormFixture f;
    const std::string root = f.music();
    const std::string other = makeFile(root, "Other/x.mp3=X|Y|Z|1");
    QCOMPARE(runCli(root, { "tag", "set", "--album", "Older", "Other" }).status, 0);
    const std::string files[]
        = { makeFile(root, "Band/Live/01 - First.mp3="), makeFile(root, "Band/Live/02 - Second.mp3=") };
    const QByteArray before[] = { readFile(files[0]), readFile(files[1]) };
    QCOMPARE(
        runCli(root, { "tag", "from-name", "-r", "-p", "{albumartist}/{album}/{track} - {song}", "Band" }).status, 0);
    QCOMPARE(runCli(root, rename).status, 0);
    const bool folders = rename.contains("--to");
    const std::string renamed = root + (folders ? "/Library/Band/Live/01 First.mp3" : "/Band/Live/01 First.mp3");
    QCOMPARE(fields(renamed), QString("First||Live|01/||Band"));
    if (spoil == "rewrite")
        testsupport::writeFile(root, folders ? "Library/Band/Live/01 First.mp3" : "Band/Live/01 First.mp3",
            testsupport::id3v2(3, { { "Else" }, {}, {} }) + testsupport::audio(2000));
    if (spoil == "delete")
        QVERIFY(::unlink(renamed.c_str()) == 0);
    const QByteArray spoiled = spoil == "rewrite" ? readFile(renamed) : QByteArray();

    const Result first = runCli(root, tagUndoFirst ? QStringList { "tag", "undo" } : QStringList { "undo" });
    const Result second = runCli(root, tagUndoFirst ? QStringList { "undo" } : QStringList { "tag", "undo" });
    const Result tagUndo = tagUndoFirst ? first : second;
    if (!spoil.isEmpty()) {
        QCOMPARE(tagUndo.status, 1);
        QVERIFY2(tagUndo.out.contains("put back 1, changed since or not writable 1\n"), tagUndo.out.constData());
        QVERIFY2(tagUndo.err.contains("changed since: left alone: " + QByteArray::fromStdString(renamed)),
            tagUndo.err.constData());
        QCOMPARE(readFile(files[1]), before[1]);
        if (spoil == "rewrite")
            QCOMPARE(readFile(files[0]), spoiled); // its new tags kept, back under its old name
        QCOMPARE(runCli(root, { "tag", "undo", "--list" }).out.count('\n'), 1); // the change is done with
        return;
    }
    QVERIFY2(tagUndo.out == "put back 2, changed since or not writable 0\n", (tagUndo.out + tagUndo.err).constData());
    QVERIFY2(first.status == 0 && second.status == 0, (first.err + second.err).constData());
    QCOMPARE(readFile(files[0]), before[0]);
    QCOMPARE(readFile(files[1]), before[1]);
    QCOMPARE(fields(other), QString("X|Y|Older|1/||"));
    const Result left = runCli(root, { "tag", "undo", "--list" });
    QVERIFY2(left.out.endsWith("1 files  <- undo takes this one\n") && left.out.count('\n') == 1, left.out.constData());
    QCOMPARE(runCli(root, { "undo" }).out, QByteArray("nothing to undo\n"));
}

// The window fills tags from names, the command line names the files by
// them, and the window's undo tag change finds them under their new names.
void CliTagTest::theWindowFindsFilesTheCommandLineRenamed()
{
    testsupport::FormFixture f;
    const std::string a = makeFile(f.music(), "01 - Band - First.mp3=");
    const QByteArray before = readFile(a);
    Form1& form = f.start();
    f.trigger("id3v2");
    f.trigger("selectall");
    f.trigger("fromname");
    auto* window = form.findChild<FromNameWindow*>();
    QVERIFY(window);
    QTest::mouseClick(window->applyButton, Qt::LeftButton);
    QCOMPARE(runCli(f.music(), { "rename", "-p", "{song}", "." }).status, 0);
    f.trigger("undotag");
    QCOMPARE(f.message(), QString(" tag undo ready: 1 put back, 0 changed since or not writable"));
    QCOMPARE(readFile(f.music() + "/First.mp3"), before);
}

void CliTagTest::tagChangeAfterARunComesBackAfterItsUndo_data()
{
    QTest::addColumn<QStringList>("rename");
    QTest::addColumn<QString>("renamed"); // where the run takes the file
    QTest::newRow("renamed in place") << QStringList { "rename", "-p", "{track} {song}", "A" } << "A/01 One.mp3";
    QTest::newRow("moved into new folders")
        << QStringList { "rename", "--to", "Library", "-p", "{artist}/{song}", "A" } << "Library/Band/One.mp3";
}

// A tag change made after a run, on the files where the run took them, is
// taken back after the run's undo moved them home again.
void CliTagTest::tagChangeAfterARunComesBackAfterItsUndo()
{
    QFETCH(QStringList, rename);
    QFETCH(QString, renamed);
    testsupport::FormFixture f;
    const std::string root = f.music();
    const std::string path = makeFile(root, "A/01 - One.mp3=One|Band|Old|1");
    const QByteArray before = readFile(path);
    QCOMPARE(runCli(root, rename).status, 0);
    QCOMPARE(runCli(root, { "tag", "set", "--album", "New", renamed }).status, 0);
    QCOMPARE(runCli(root, { "undo" }).status, 0);
    QCOMPARE(fields(path), QString("One|Band|New|1/||"));
    const Result undo = runCli(root, { "tag", "undo" });
    QVERIFY2(undo.status == 0 && undo.out == "put back 1, changed since or not writable 0\n",
        (undo.out + undo.err).constData());
    QCOMPARE(readFile(path), before);
}

void CliTagTest::dryRunNeverDrops_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("undo -n --drop") << QStringList { "undo", "-n", "--drop" };
    QTest::newRow("undo --drop --dry-run") << QStringList { "undo", "--drop", "--dry-run" };
    QTest::newRow("tag undo -n --drop") << QStringList { "tag", "undo", "-n", "--drop" };
    QTest::newRow("tag undo --drop -n") << QStringList { "tag", "undo", "--drop", "-n" };
}

// A dry run asked to forget the newest run or change is a usage fault: both
// histories stay whole.
void CliTagTest::dryRunNeverDrops()
{
    QFETCH(QStringList, arguments);
    testsupport::FormFixture f;
    const std::string root = f.music();
    makeFile(root, "A/01 - One.mp3=One|Band|Old|1");
    QCOMPARE(runCli(root, { "tag", "set", "--album", "New", "A" }).status, 0);
    QCOMPARE(runCli(root, { "rename", "-p", "{song}", "A" }).status, 0);
    const QByteArray runs = runCli(root, { "undo", "--list" }).out;
    const QByteArray changes = runCli(root, { "tag", "undo", "--list" }).out;
    const Result result = runCli(root, arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains("excludes"), result.err.constData());
    QCOMPARE(runCli(root, { "undo", "--list" }).out, runs);
    QCOMPARE(runCli(root, { "tag", "undo", "--list" }).out, changes);
    QVERIFY(changes.contains("<- undo takes this one") && runs.contains("<- undo takes this one"));
}

QTEST_MAIN(CliTagTest)
#include "tst_clitag.moc"
