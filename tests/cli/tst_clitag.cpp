#include "tags/read/tagsource.h"
#include "tags/write/tagwrite.h"
#include "tags/fromnamewindow.h"
#include "testsupport/formfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
// audio; a trailing "+v1" gives the file an ID3v1 record too, "+v24" makes
// the tag one of version 2.4; "path=" no tag at all.
std::string makeFile(const std::string& root, const QByteArray& entry)
{
    const std::string path = entry.left(entry.indexOf('=')).toStdString();
    for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir((root + "/" + path.substr(0, slash)).c_str(), 0755);
    QString tags = QString::fromUtf8(entry.mid(entry.indexOf('=') + 1));
    const bool record = tags.endsWith("+v1");
    tags.remove("+v1");
    const int version = tags.endsWith("+v24") ? 4 : 3;
    tags.remove("+v24");
    QByteArray bytes = testsupport::audio(2000);
    const QStringList tag = tags.split('|');
    if (!tags.isEmpty()) {
        testsupport::Id3v2Content content { { tag[0] }, { tag.value(1) }, { tag.value(2) } };
        content.track = tag.value(3);
        bytes.prepend(testsupport::id3v2(version, content));
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

constexpr uid_t kNobody = 65534;

// zentrio-cli run as the user nobody, with a state folder of that user's own.
Result runCliAsNobody(const std::string& folder, const QString& state, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_STATE_HOME", state);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QString::fromStdString(folder));
    process.start(
        "setpriv", QStringList { "--reuid=65534", "--regid=65534", "--clear-groups", "--", ZENTRIO_CLI } + arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
}

// What a file is to the system, beside its bytes: which file, whose, its
// mode and links, and every extended attribute (ACLs among them).
QString systemView(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return "gone";
    QStringList view { QString("inode %1 owner %2:%3 mode %4 links %5")
                           .arg(st.st_ino)
                           .arg(st.st_uid)
                           .arg(st.st_gid)
                           .arg(st.st_mode & 07777, 0, 8)
                           .arg(st.st_nlink) };
    QByteArray names(::listxattr(path.c_str(), nullptr, 0), '\0');
    ::listxattr(path.c_str(), names.data(), static_cast<std::size_t>(names.size()));
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value(::getxattr(path.c_str(), name.constData(), nullptr, 0), '\0');
        ::getxattr(path.c_str(), name.constData(), value.data(), static_cast<std::size_t>(value.size()));
        view << name + '=' + value.toHex();
    }
    return view.join(' ');
}

// An access list that also lets user 1000 read the file, in the kernel's
// format for system.posix_acl_access; the mode's own bits stay as they are.
QByteArray accessListFor(mode_t mode)
{
    QByteArray list;
    const auto add = [&](quint16 tag, quint16 perm, quint32 id) {
        list.append(reinterpret_cast<const char*>(&tag), 2).append(reinterpret_cast<const char*>(&perm), 2);
        list.append(reinterpret_cast<const char*>(&id), 4);
    };
    const quint32 version = 2;
    list.append(reinterpret_cast<const char*>(&version), 4);
    add(0x01, (mode >> 6) & 7, ~0u); // the owner
    add(0x02, 4, 1000); // user 1000: read
    add(0x04, (mode >> 3) & 7, ~0u); // the group
    add(0x10, (mode >> 3) & 7, ~0u); // the mask
    add(0x20, mode & 7, ~0u); // others
    return list;
}

// The window started on the fixture's folder fills every file's tags from
// its name, as a person does with "tags from names" and its OK button.
bool fillTagsFromNamesInWindow(testsupport::FormFixture& f)
{
    Form1& form = f.start();
    f.trigger("id3v2");
    f.trigger("selectall");
    f.trigger("fromname");
    auto* window = form.findChild<FromNameWindow*>();
    if (!window)
        return false;
    QTest::mouseClick(window->applyButton, Qt::LeftButton);
    return true;
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
    void aGrownTagKeepsWhatTheFileIs_data();
    void aGrownTagKeepsWhatTheFileIs();
    void aRenameUndoKnowsAFileWhoseTagGrew();
    void tagsFromNamesThenRenameComeBackInEitherOrder_data();
    void tagsFromNamesThenRenameComeBackInEitherOrder();
    void theWindowFindsFilesTheCommandLineRenamed();
    void tagChangeAfterARunComesBackAfterItsUndo_data();
    void tagChangeAfterARunComesBackAfterItsUndo();
    void dryRunNeverDrops_data();
    void dryRunNeverDrops();
    void undoOfAChosenChange_data();
    void undoOfAChosenChange();
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
    QTest::newRow("set: an empty value after \"=\" clears the field, the path after it stays a path")
        << QByteArray("Album/03 - Song.mp3=Song|Band|Album|3/12")
        << QStringList { "set", "--album=", "Album/03 - Song.mp3", "Album" } << 0
        << "Album/03 - Song.mp3: album \"Album\" -> \"\"" << "Song|Band||3/12||";
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
        << QByteArray("notes.mp3=") << QStringList { "from-name", "-p", "{track} - {song}", "." } << 1
        << "nomatch: ./notes.mp3: the name does not fit the pattern; left alone" << "|||/||";
    QTest::newRow("from-name: a year of five digits does not fit")
        << QByteArray("19999 - Song.mp3=") << QStringList { "from-name", "-p", "{year} - {song}", "." } << 1
        << "nomatch: ./19999 - Song.mp3: the name does not fit the pattern; left alone" << "|||/||";
    QTest::newRow("from-name: a track of five digits does not fit")
        << QByteArray("10000 - Song.mp3=") << QStringList { "from-name", "-p", "{track} - {song}", "." } << 1
        << "nomatch: ./10000 - Song.mp3" << "|||/||";
    QTest::newRow("from-name: a name in code page 1252")
        << QByteArray("\xE9t\xE9 - Caf\xE9.mp3=") << QStringList { "from-name", "-p", "{artist} - {song}", "." } << 0
        << "written 1" << QString::fromUtf8("Café|été||/||");
    QTest::newRow("set: a date goes into a 2.3 tag as its year")
        << tagged << QStringList { "set", "--year", "2024-05-01", "Album" } << 0
        << "Album/03 - Song.mp3: year \"\" -> \"2024\"" << "Song|Band|Album|3/12|2024|";
    QTest::newRow("set: a date goes whole into a 2.4 tag")
        << QByteArray("Album/03 - Song.mp3=Song|Band|Album|3/12+v24")
        << QStringList { "set", "--year", "2024-05-01", "Album" } << 0
        << "Album/03 - Song.mp3: year \"\" -> \"2024-05-01\"" << "Song|Band|Album|3/12|2024-05-01|";
    QTest::newRow("from-name: no folder above the folder named")
        << QByteArray("01 - First.mp3=") << QStringList { "from-name", "-p", "{album}/{track} - {song}", "." } << 1
        << "nomatch: ./01 - First.mp3" << "|||/||";
    QTest::newRow("from-name: a file named has no folders of its own")
        << QByteArray("Live/01 - First.mp3=")
        << QStringList { "from-name", "-p", "{album}/{track} - {song}", "Live/01 - First.mp3" } << 1
        << "nomatch: Live/01 - First.mp3" << "|||/||";
    QTest::newRow("usage: a track that is no number")
        << tagged << QStringList { "set", "--track", "abc", "Album" } << 2
        << "--track takes N or N/M, numbers of up to four digits: cannot set \"abc\"" << "Song|Band|Album|3/12||";
    QTest::newRow("usage: a year that is no year")
        << tagged << QStringList { "set", "--year", "nineteen", "Album" } << 2
        << "--year takes four digits, or a date as YYYY-MM-DD or YYYY-MM: cannot set \"nineteen\""
        << "Song|Band|Album|3/12||";
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
    QVERIFY(fillTagsFromNamesInWindow(f));
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

// A tag that must grow is written over the file itself: it stays the same
// file to the system (inode, owner, group, mode, links, extended attributes
// and access lists), through its undo too, and a file its user cannot write
// is refused whatever the size of the change, as a change in place is.
void CliTagTest::aGrownTagKeepsWhatTheFileIs_data()
{
    QTest::addColumn<bool>("ownedByNobody");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("runAsNobody");
    QTest::addColumn<bool>("hardLinked");
    QTest::addColumn<bool>("written");
    QTest::newRow("another user's 0640 file, run as root") << true << 0640 << false << false << true;
    QTest::newRow("a hard-linked file stays one file") << false << 0644 << false << true << true;
    QTest::newRow("run by the file's owner") << true << 0644 << true << false << true;
    QTest::newRow("read-only to the owner who runs it: refused") << true << 0444 << true << false << false;
    QTest::newRow("read-only, run as root: written as in place") << false << 0444 << false << false << true;
}

void CliTagTest::aGrownTagKeepsWhatTheFileIs()
{
    QFETCH(bool, ownedByNobody);
    QFETCH(int, mode);
    QFETCH(bool, runAsNobody);
    QFETCH(bool, hardLinked);
    QFETCH(bool, written);
    if (::geteuid() != 0)
        QSKIP("needs root: to give the file to another user and to run as that user");
    testsupport::FormFixture f;
    testsupport::TempDir nobodyState;
    const std::string root = f.music();
    QCOMPARE(::chmod(root.c_str(), 0755), 0);
    QCOMPARE(
        ::chown(root.c_str(), kNobody, kNobody), 0); // a folder nobody may write: the old swap could replace the file
    QCOMPARE(::chown(nobodyState.path().toUtf8().constData(), kNobody, kNobody), 0);
    const std::string path = makeFile(root, "a.mp3=Song|Band|Album|1");
    if (ownedByNobody)
        QCOMPARE(::chown(path.c_str(), kNobody, kNobody), 0);
    QCOMPARE(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
    if (::setxattr(path.c_str(), "user.zentrio.test", "kept", 4, 0) != 0)
        QSKIP("no extended attributes on this file system");
    const QByteArray list = accessListFor(static_cast<mode_t>(mode));
    (void)::setxattr(
        path.c_str(), "system.posix_acl_access", list.constData(), static_cast<std::size_t>(list.size()), 0);
    const std::string other = root + "/b.mp3";
    if (hardLinked)
        QCOMPARE(::link(path.c_str(), other.c_str()), 0);
    const QByteArray before = readFile(path);
    const QString view = systemView(path);
    const auto run = [&](const QStringList& arguments) {
        return runAsNobody ? runCliAsNobody(root, nobodyState.path(), arguments) : runCli(root, arguments);
    };

    const Result set = run({ "tag", "set", "--album", QString(3000, 'x'), "a.mp3" });
    QVERIFY2(set.status == (written ? 0 : 1), (set.out + set.err).constData());
    QCOMPARE(systemView(path), view);
    QCOMPARE(readFile(path) != before, written);
    if (hardLinked)
        QCOMPARE(readFile(other), readFile(path));
    if (!written)
        return;
    QCOMPARE(fields(path), QString("Song|Band|%1|1/||").arg(QString(3000, 'x')));
    const Result undo = run({ "tag", "undo" });
    QVERIFY2(undo.out.contains("put back 1, changed since or not writable 0"), (undo.out + undo.err).constData());
    QCOMPARE(readFile(path), before);
    QCOMPARE(systemView(path), view);
}

// A tag that grows between a rename and its undo leaves the file the one
// the rename moved, so the undo moves it back.
void CliTagTest::aRenameUndoKnowsAFileWhoseTagGrew()
{
    testsupport::FormFixture f;
    const std::string root = f.music();
    makeFile(root, "m/01 - Old name.mp3=Song|Band|Album|1");
    QCOMPARE(runCli(root, { "rename", "-p", "{song}", "m" }).status, 0);
    QVERIFY(testsupport::exists(root + "/m/Song.mp3"));
    QCOMPARE(runCli(root, { "tag", "set", "--album", QString(3000, 'x'), "m/Song.mp3" }).status, 0);
    const Result undo = runCli(root, { "undo" });
    QVERIFY2(undo.status == 0 && !undo.out.contains("left alone"), (undo.out + undo.err).constData());
    QVERIFY(testsupport::exists(root + "/m/01 - Old name.mp3"));
    QCOMPARE(fields(root + "/m/01 - Old name.mp3"), QString("Song|Band|%1|1/||").arg(QString(3000, 'x')));
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
    QCOMPARE( // Other/x.mp3 has too few folders: left alone
        runCli(root, { "tag", "from-name", "-r", "-p", "{albumartist}/{album}/{track} - {song}", "." }).status, 1);
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
        const QByteArray shown = QByteArray::fromStdString(renamed).mid(root.size() + 1); // from the working directory
        QVERIFY2(tagUndo.err.contains("changed since: left alone: " + shown), tagUndo.err.constData());
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
    QVERIFY2(left.out.endsWith("1 file  <- undo takes this one\n") && left.out.count('\n') == 1, left.out.constData());
    QCOMPARE(runCli(root, { "undo" }).out, QByteArray("nothing to undo\n"));
}

// The window fills tags from names, the command line names the files by
// them, and the window's undo tag change finds them under their new names.
void CliTagTest::theWindowFindsFilesTheCommandLineRenamed()
{
    testsupport::FormFixture f;
    const std::string a = makeFile(f.music(), "01 - Band - First.mp3=");
    const QByteArray before = readFile(a);
    QVERIFY(fillTagsFromNamesInWindow(f));
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

// A journal's file lines without their last word, the time: as versions
// before it wrote them.
QByteArray withoutTimes(QByteArray journal)
{
    for (qsizetype at = journal.indexOf("\nfile "); at >= 0; at = journal.indexOf("\nfile ", at + 1)) {
        const qsizetype end = journal.indexOf('\n', at + 1);
        const qsizetype blank = journal.lastIndexOf(' ', end);
        journal.remove(blank, end - blank);
    }
    return journal;
}

std::int64_t modifiedOf(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec : -1;
}

void CliTagTest::undoOfAChosenChange_data()
{
    QTest::addColumn<QStringList>("first"); // the change of A/01 - One.mp3 whose id is undone
    // The folder a newer change writes ("": none; "hand": the file rewritten;
    // "earlier": the journal as an earlier version wrote it, without times;
    // "1969": none, the file's time is before 1970, part of a second past;
    // "spoilt": none, a byte of the old tag the journal saved is damaged).
    QTest::addColumn<QString>("newer");
    QTest::addColumn<QStringList>("undo"); // "ID": the first change's
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a line the undo prints (stdout and stderr); "NEWER": the newer id
    QTest::addColumn<bool>("back"); // the first file holds its old bytes and time
    const QStringList set { "set", "--album", "New", "A" };
    const QStringList kept { "set", "--keep-time", "--album", "New", "A" };
    QTest::newRow("--keep-time: the write and its undo keep the time")
        << kept << "" << QStringList { "ID" } << 0 << "put back 1, changed since or not writable 0" << true;
    QTest::newRow("--keep-time of a file from before 1970: the write and its undo keep the time")
        << kept << "1969" << QStringList { "ID" } << 0 << "put back 1" << true;
    QTest::newRow("undo puts back the time from before the write")
        << set << "" << QStringList { "ID" } << 0 << "put back 1" << true;
    QTest::newRow("an older change of other files is undone")
        << kept << "B" << QStringList { "ID" } << 0 << "put back 1" << true;
    QTest::newRow("a change an earlier version recorded undoes without its time")
        << set << "earlier" << QStringList {} << 0 << "put back 1" << true;
    QTest::newRow("a newer change of the same file: refused")
        << set << "A" << QStringList { "ID" } << 3 << "the newer change NEWER wrote some of its files" << false;
    QTest::newRow("a newer change of the same file: the dry run refuses alike")
        << set << "A" << QStringList { "-n", "ID" } << 3 << "NEWER" << false;
    QTest::newRow("no change of that id") << set << "" << QStringList { "xyz" } << 2 << "no tag change kept" << false;
    QTest::newRow("an empty id (an unset variable) takes back no change")
        << set << "" << QStringList { "" } << 2 << "an empty ID names no change" << false;
    QTest::newRow("a file changed since: the dry run exits as the undo would")
        << set << "hand" << QStringList { "-n" } << 1 << "changed since: left alone" << false;
    QTest::newRow("a journal damaged on the disk never writes its damage")
        << set << "spoilt" << QStringList {} << 1 << "left alone" << false;
    QTest::newRow("a file changed since") << set << "hand" << QStringList {} << 1 << "changed since: left alone"
                                          << false;
}

// A change taken back by its id: the file's bytes and its modification time
// come back; a newer change of the same file keeps the older one in place.
void CliTagTest::undoOfAChosenChange()
{
    QFETCH(QStringList, first);
    QFETCH(QString, newer);
    QFETCH(QStringList, undo);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(bool, back);
    testsupport::FormFixture f;
    const std::string root = f.music();
    const std::string path = makeFile(root, "A/01 - One.mp3=One|Band|Old|1");
    makeFile(root, "B/02 - Two.mp3=Two|Band|Old|2");
    const bool before1970 = newer == "1969";
    const std::int64_t was = before1970 ? -1500000000LL : 1000000000123456789LL;
    const struct timespec old[2]
        = { { 0, UTIME_OMIT }, before1970 ? timespec { -2, 500000000 } : timespec { 1000000000, 123456789 } };
    QVERIFY(::utimensat(AT_FDCWD, path.c_str(), old, 0) == 0);
    const QByteArray before = readFile(path);
    QCOMPARE(runCli(root, QStringList { "tag" } + first).status, 0);
    QCOMPARE(modifiedOf(path) == was, first.contains("--keep-time"));
    if (newer == "hand")
        makeFile(root, "A/01 - One.mp3=Other|Band|Old|1");
    else if (newer == "earlier") {
        const QByteArray earlier = withoutTimes(readFile(defaultTagJournalPath()));
        QFile journal(QString::fromStdString(defaultTagJournalPath()));
        QVERIFY(journal.open(QIODevice::WriteOnly | QIODevice::Truncate) && journal.write(earlier) == earlier.size());
    } else if (newer == "spoilt") {
        QByteArray journal = readFile(defaultTagJournalPath());
        qsizetype at = journal.indexOf("Old");
        if (at < 0)
            at = journal.indexOf(QByteArray("O\0l\0d", 5)); // saved as UTF-16
        QVERIFY(at >= 0);
        journal[at] = 'D';
        QFile file(QString::fromStdString(defaultTagJournalPath()));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(journal) == journal.size());
    } else if (!newer.isEmpty() && !before1970)
        QCOMPARE(runCli(root, { "tag", "set", "--album", "Newer", newer }).status, 0);
    const QList<QByteArray> changes = runCli(root, { "tag", "undo", "--list", "--json" }).out.split('\n');
    QVERIFY2(changes.first().contains(("\"path\":\"" + path).c_str()) == (newer != "B"), changes.first().constData());
    const auto idOf = [](const QByteArray& line) { return line.mid(line.indexOf("\"id\":\"") + 6, 8); };
    const QByteArray id = idOf(changes[changes.size() - 2]), newest = idOf(changes.first());
    const QByteArray left = readFile(path);
    undo.replaceInStrings("ID", id);
    const Result result = runCli(root, QStringList { "tag", "undo" } + undo);
    QCOMPARE(result.status, status);
    QVERIFY2((result.out + result.err).contains(output.replace("NEWER", newest).toUtf8()), (result.out + result.err).constData());
    QCOMPARE(readFile(path) == before, back);
    const bool time = newer == "earlier" ? false : back || (first.contains("--keep-time") && newer != "hand");
    QCOMPARE(modifiedOf(path) == was, time);
    if (!back)
        QCOMPARE(readFile(path), left); // refused, or a dry run: nothing changed
    if (newer == "B") { // the newer change, kept around the one taken out, is whole
        QVERIFY(runCli(root, { "tag", "undo" }).out.startsWith("put back 1,"));
        QCOMPARE(runCli(root, { "tag", "undo", "--list" }).out, QByteArray("no tag changes to undo\n"));
    }
}

QTEST_MAIN(CliTagTest)
#include "tst_clitag.moc"
