#include "platform/fs/filenames.h"
#include "platform/fs/fsops.h"
#include "tags/read/audiofile.h"
#include "testsupport/formatfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

namespace {

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// A library in a temporary folder, zentrio-cli run in it with a journal of its own.
class Library {
public:
    Library() { QDir().mkpath(m_dir.path() + "/state"); }

    std::string root() const { return m_dir.path().toStdString(); }

    // "path=song/artist/album/track": an MP3 file with an ID3v2.3 tag (artist
    // and album "Artist" and "Album" when not given, no track), or a file of
    // another audio format by its extension, with its own tags; "path=" has
    // no tag; a path alone is a plain file. Each file's
    // bytes name its path, so a listing shows where each one went.
    void make(const QStringList& files)
    {
        for (const QString& entry : files) {
            const std::string path = textToName(entry.section('=', 0, 0));
            for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
                ::mkdir((root() + "/" + path.substr(0, slash)).c_str(), 0755);
            QByteArray bytes = QByteArray::fromStdString(path) + testsupport::audio(300);
            const QStringList tag = entry.section('=', 1).split('/');
            const auto format = audioFormatOf(path);
            if (format && *format != AudioFormat::Mp3) {
                testsupport::writeFile(root(), path, testsupport::untaggedFile(formatName(*format)));
                testsupport::tagFile(root() + "/" + path,
                    { { "TITLE", { tag[0].toStdString() } }, { "ARTIST", { tag.value(1, "Artist").toStdString() } },
                        { "ALBUM", { tag.value(2, "Album").toStdString() } },
                        { "TRACKNUMBER", { tag.value(3).toStdString() } } });
                m_origin[testsupport::readFile(root() + "/" + path)] = nameToText(path);
                continue;
            }
            if (!tag.front().isEmpty()) {
                testsupport::Id3v2Content content { { tag[0] }, { tag.value(1, "Artist") }, { tag.value(2, "Album") } };
                content.track = tag.value(3);
                bytes.prepend(testsupport::id3v2(3, content));
            }
            testsupport::writeFile(root(), path, bytes);
            m_origin[bytes] = nameToText(path);
        }
    }

    // Every file as "path" (where it was made) or "path<origin"; empty folders as "path/".
    QStringList listing(const QString& folder = {}) const
    {
        QStringList found;
        const auto entries = testsupport::everyEntry(root() + textToName(folder));
        for (const std::string& name : entries) {
            const QString relative = (folder.isEmpty() ? "" : folder.mid(1) + "/") + nameToText(name);
            const std::string path = root() + "/" + textToName(relative);
            if (relative == "state" || relative.endsWith(".json"))
                continue;
            if (fs::isFolder(path)) {
                const QStringList inside = listing("/" + relative);
                found << (inside.isEmpty() ? QStringList { relative + "/" } : inside);
            } else {
                const QString origin = m_origin.value(testsupport::readFile(path), "?");
                found << (origin == relative ? relative : relative + "<" + origin);
            }
        }
        found.sort();
        return found;
    }

    QProcess* start(const QStringList& arguments)
    {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", m_dir.path() + "/state");
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(m_dir.path());
        if (m_user)
            process->start("setpriv",
                QStringList { "--reuid=" + QString::number(m_user->pw_uid),
                    "--regid=" + QString::number(m_user->pw_gid), "--clear-groups", ZENTRIO_CLI }
                    + arguments);
        else
            process->start(ZENTRIO_CLI, arguments);
        return process;
    }

    // zentrio-cli runs as `user` from now on, the whole library its own.
    void runAs(const passwd* user)
    {
        m_user = user;
        ::chown(root().c_str(), user->pw_uid, user->pw_gid);
        chownBelow(root(), user);
    }

    // A shell line run in the library, zentrio-cli in it as "$CLI".
    Result shell(const QString& line)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", m_dir.path() + "/state");
        env.insert("CLI", ZENTRIO_CLI);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start("/bin/sh", { "-c", line });
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return { process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError() };
    }

    Result run(const QStringList& arguments)
    {
        std::unique_ptr<QProcess> process(start(arguments));
        if (!process->waitForFinished(60000) || process->exitStatus() != QProcess::NormalExit)
            return {};
        return { process->exitCode(), process->readAllStandardOutput(), process->readAllStandardError() };
    }

private:
    static void chownBelow(const std::string& folder, const passwd* user)
    {
        for (const std::string& name : testsupport::everyEntry(folder)) {
            const std::string path = folder + "/" + name;
            ::lchown(path.c_str(), user->pw_uid, user->pw_gid);
            if (fs::isFolder(path))
                chownBelow(path, user);
        }
    }

    testsupport::TempDir m_dir;
    QHash<QByteArray, QString> m_origin;
    const passwd* m_user = nullptr;
};

QString escaped(char byte)
{
    return nameToText(std::string(1, byte));
}

} // namespace

// zentrio-cli run as a person runs it, on real folders: its output, its
// exit status and the disk, and undo after every run.
class CliTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runsAndTheirUndo_data();
    void runsAndTheirUndo();
    void libraryRulesHold_data();
    void libraryRulesHold();
    void anAlteredPlanIsRefused();
    void theWholeRunIsCheckedFirst_data();
    void theWholeRunIsCheckedFirst();
    void applyTakesOnlyWhatRenamePlans_data();
    void applyTakesOnlyWhatRenamePlans();
    void jsonSaysWhatWasDone_data();
    void jsonSaysWhatWasDone();
    void listShowsPathsAndFields();
    void aQueryTakesOnlyItsFiles_data();
    void aQueryTakesOnlyItsFiles();
    void pathsCanBeReused_data();
    void pathsCanBeReused();
    void aPlanIsAppliedOnlyToTheFilesItSaw();
    void faultsChangeNothing();
    void aStoppedRunIsUndone_data();
    void aStoppedRunIsUndone();
    void playlistsFollowAndComeBack_data();
    void playlistsFollowAndComeBack();
    void anOlderRunIsUndoneByItsNumber_data();
    void anOlderRunIsUndoneByItsNumber();
    void caseOnlyOnAVolumeThatIgnoresCase();
    void loadsNoWindowLibraries();
};

void CliTest::runsAndTheirUndo_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("after"); // empty: as before
    const QStringList album { "m/a.mp3=One/Band/Album/1", "m/b.mp3=Two/Band/Album/2" };
    QTest::newRow("dry run") << album << QStringList { "rename", "-n", "-p", "{song}", "m" } << 0 << QStringList {};
    QTest::newRow("rename in place") << album << QStringList { "rename", "-p", "{track} - {song}", "m" } << 0
                                     << QStringList { "m/01 - One.mp3<m/a.mp3", "m/02 - Two.mp3<m/b.mp3" };
    QTest::newRow("moves with --to, others along, emptied folders removed")
        << QStringList { "m/x/a.mp3=One/Band/Album/1", "m/x/b.mp3=Two/Band/Album/2", "m/x/cover.jpg",
               "m/y/c.mp3=Three/Solo/Live/1" }
        << QStringList { "rename", "-r", "--to", "lib", "-p", "{artist}/{album}/{track} {song}", "m" } << 0
        << QStringList { "lib/Band/Album/01 One.mp3<m/x/a.mp3", "lib/Band/Album/02 Two.mp3<m/x/b.mp3",
               "lib/Band/Album/cover.jpg<m/x/cover.jpg", "lib/Solo/Live/01 Three.mp3<m/y/c.mp3", "m/" };
    QTest::newRow("a chain and a cycle") << QStringList { "m/a.mp3=b", "m/b.mp3=c", "m/x.mp3=y", "m/y.mp3=x" }
                                         << QStringList { "rename", "-p", "{song}", "m" } << 0
                                         << QStringList { "m/b.mp3<m/a.mp3", "m/c.mp3<m/b.mp3", "m/x.mp3<m/y.mp3",
                                                "m/y.mp3<m/x.mp3" };
    QTest::newRow("a conflict in the last folder")
        << QStringList { "m/1/a.mp3=A", "m/2/b.mp3=B", "m/3/c.mp3=C", "m/3/d.mp3=C" }
        << QStringList { "rename", "-r", "-p", "{song}", "m" } << 3 << QStringList {};
    QTest::newRow("a target held by another file")
        << QStringList { "m/a.mp3=B", "m/B.mp3" } << QStringList { "rename", "-p", "{song}", "m" } << 3
        << QStringList {};
    QTest::newRow("a target held by a folder") << QStringList { "m/a.mp3=B", "m/B.mp3/keep.txt" }
                                               << QStringList { "rename", "-p", "{song}", "m" } << 3 << QStringList {};
    QTest::newRow("a file where a folder is to be made")
        << QStringList { "m/a.mp3=One/Band", "m/Band" } << QStringList { "rename", "-p", "{artist}/{song}", "m" } << 3
        << QStringList {};
    QTest::newRow("--fs fat") << QStringList { "m/a.mp3=What? Yes: No/Band/It|s" }
                              << QStringList { "rename", "--fs", "fat", "-p", "{album} {song}", "m" } << 0
                              << QStringList { "m/It-s What- Yes- No.mp3<m/a.mp3" };
    QTest::newRow("a 300-byte title") << QStringList { "m/a.mp3=" + QString(150, QChar(0xE9)) }
                                      << QStringList { "rename", "-p", "{song}", "m" } << 0
                                      << QStringList { "m/" + QString(125, QChar(0xE9)) + ".mp3<m/a.mp3" };
    QTest::newRow("a name that is not UTF-8")
        << QStringList { "m/" + escaped('\xFF') + "/" + escaped('\xFE') + "x.mp3=Clean" }
        << QStringList { "rename", "-r", "-p", "{song}", "m" } << 0
        << QStringList { "m/" + escaped('\xFF') + "/Clean.mp3<m/" + escaped('\xFF') + "/" + escaped('\xFE') + "x.mp3" };
    QTest::newRow("an ampersand stays") << QStringList { "m/a.mp3=Simon & Garfunkel" }
                                        << QStringList { "rename", "-p", "{song}", "m" } << 0
                                        << QStringList { "m/Simon & Garfunkel.mp3<m/a.mp3" };
    QTest::newRow("--no-accent: every accented letter") << QStringList { QString::fromUtf8("m/a.mp3=Őrült Ütő äñç") }
                                                        << QStringList { "rename", "--no-accent", "-p", "{song}", "m" }
                                                        << 0 << QStringList { "m/Orult Uto anc.mp3<m/a.mp3" };
    const QStringList clash { "m/a.mp3=X", "m/b.mp3=X", "m/c.mp3=Y", "m/Y.mp3" }; // two to "X", "Y" taken
    QTest::newRow("--conflicts stop") << clash << QStringList { "rename", "--conflicts", "stop", "-p", "{song}", "m" }
                                      << 3 << QStringList {};
    QTest::newRow("--conflicts skip") << clash << QStringList { "rename", "--conflicts", "skip", "-p", "{song}", "m" }
                                      << 0 << QStringList { "m/X.mp3<m/a.mp3", "m/Y.mp3", "m/b.mp3", "m/c.mp3" };
    QTest::newRow("--conflicts number")
        << clash << QStringList { "rename", "--conflicts", "number", "-p", "{song}", "m" } << 0
        << QStringList { "m/X (2).mp3<m/b.mp3", "m/X.mp3<m/a.mp3", "m/Y (2).mp3<m/c.mp3", "m/Y.mp3" };
    QTest::newRow("--conflicts skip: the cover stays with the file that stays")
        << QStringList { "m/x/a.mp3=One", "m/x/b.mp3=Two", "m/x/cover.jpg", "lib/Artist/Two.mp3" }
        << QStringList { "rename", "-r", "--conflicts", "skip", "--to", "lib", "-p", "{artist}/{song}", "m" } << 0
        << QStringList { "lib/Artist/One.mp3<m/x/a.mp3", "lib/Artist/Two.mp3", "m/x/b.mp3", "m/x/cover.jpg" };
    const QString nfd = QString::fromUtf8("Cafe\xCC\x81"), nfc = nfd.normalized(QString::NormalizationForm_C);
    QTest::newRow("a name composed in NFC") << QStringList { "m/a.mp3=" + nfd }
                                            << QStringList { "rename", "-p", "{song}", "m" } << 0
                                            << QStringList { "m/" + nfc + ".mp3<m/a.mp3" };
    QTest::newRow("a name taken in NFD") << QStringList { "m/a.mp3=" + nfc, "m/" + nfd + ".mp3" }
                                         << QStringList { "rename", "-p", "{song}", "m" } << 3 << QStringList {};
    const QStringList mixed { "m/x/a.flac=One/Band/Album/1", "m/x/b.m4a=Two/Band/Album/2",
        "m/x/c.mp3=Three/Band/Album/3", "m/x/cover.jpg" };
    QTest::newRow("a mixed album moves whole, each file keeping its own extension")
        << mixed << QStringList { "rename", "-r", "--to", "lib", "-p", "{artist}/{album}/{track} {song}", "m" } << 0
        << QStringList { "lib/Band/Album/01 One.flac<m/x/a.flac", "lib/Band/Album/02 Two.m4a<m/x/b.m4a",
               "lib/Band/Album/03 Three.mp3<m/x/c.mp3", "lib/Band/Album/cover.jpg<m/x/cover.jpg", "m/" };
    QTest::newRow("--ext mp3: the other formats and the cover stay")
        << mixed
        << QStringList { "rename", "-r", "--ext", "mp3", "--to", "lib", "-p", "{artist}/{album}/{track} {song}", "m" }
        << 0 << QStringList { "lib/Band/Album/03 Three.mp3<m/x/c.mp3", "m/x/a.flac", "m/x/b.m4a", "m/x/cover.jpg" };
    QTest::newRow("files without tags or fields stay")
        << QStringList { "m/a.mp3=", "m/b.mp3=Two/Band/Album", "m/c.mp3=Three/Band/Album/3" }
        << QStringList { "rename", "-p", "{track} {song}", "m" } << 0
        << QStringList { "m/03 Three.mp3<m/c.mp3", "m/a.mp3", "m/b.mp3" };
}

void CliTest::runsAndTheirUndo()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QStringList, after);
    Library library;
    library.make(files);
    const QStringList before = library.listing();
    // The dry run takes its folders as its walk listed them, the run lists
    // them again just before its check: both must come to the same plan.
    QStringList dryArguments = arguments;
    if (!dryArguments.contains("-n"))
        dryArguments.insert(1, "-n");
    const Result dry = library.run(dryArguments);
    QCOMPARE(library.listing(), before);
    const Result run = library.run(arguments);
    QVERIFY2(run.status == status, run.err.constData());
    QCOMPARE(dry.status, status);
    const auto moves = [](const QByteArray& out) {
        QList<QByteArray> lines = out.split('\n');
        lines.removeIf([](const QByteArray& line) { return !line.contains(" -> "); });
        return lines;
    };
    QCOMPARE(moves(dry.out), moves(run.out));
    QCOMPARE(dry.err, run.err);
    QCOMPARE(library.listing(), after.isEmpty() ? before : after);
    if (status == 3)
        QVERIFY(run.err.contains("conflict: "));
    if (!after.isEmpty())
        QVERIFY(run.out.contains(" -> ") && run.out.contains("undo with: zentrio-cli undo"));
    const Result undo = library.run({ "undo" });
    QCOMPARE(undo.status, 0);
    QCOMPARE(library.listing(), before);
    QVERIFY(after.isEmpty() == undo.out.contains("nothing to undo"));
}

void CliTest::libraryRulesHold_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("after"); // empty: as before
    const QStringList byArtist { "rename", "-r", "--to", "lib", "-p", "{artist}/{song}", "m" };
    QTest::newRow("a folder named keeps its other files") << QStringList { "m/a.mp3=One/Band", "m/doc.pdf",
        "m/cover.jpg" } << byArtist << 0 << QStringList { "lib/Band/One.mp3<m/a.mp3", "m/cover.jpg", "m/doc.pdf" };
    QTest::newRow("only album companions go along")
        << QStringList { "m/x/a.mp3=One/Band", "m/x/cover.jpg", "m/x/rip.log", "m/x/notes.pdf", "m/x/key.asc" }
        << byArtist << 0
        << QStringList { "lib/Band/One.mp3<m/x/a.mp3", "lib/Band/cover.jpg<m/x/cover.jpg",
               "lib/Band/rip.log<m/x/rip.log", "m/x/key.asc", "m/x/notes.pdf" };
    QTest::newRow("a companion whose name is taken stays")
        << QStringList { "m/x/a.mp3=One/Band", "m/x/cover.jpg", "lib/Band/cover.jpg" } << byArtist << 0
        << QStringList { "lib/Band/One.mp3<m/x/a.mp3", "lib/Band/cover.jpg", "m/x/cover.jpg" };
    QTest::newRow("a folder named below another one stays")
        << QStringList { "big/in0/a.mp3=One", "big/b.mp3=Two" }
        << QStringList { "rename", "-r", "--to", "out", "-p", "{song}", "big", "big/in0" } << 0
        << QStringList { "big/in0/", "out/One.mp3<big/in0/a.mp3", "out/Two.mp3<big/b.mp3" };
    QTest::newRow("--fs fat: two spellings are one path")
        << QStringList { "m/a.mp3=One/Beatles", "m/b.mp3=one/beatles" }
        << QStringList { "rename", "--fs", "fat", "-p", "{artist}/{song}", "m" } << 3 << QStringList {};
    QTest::newRow("--fs fat: no name Windows keeps for a device")
        << QStringList { "m/a.mp3=con/Aux" } << QStringList { "rename", "--fs", "fat", "-p", "{artist}/{song}", "m" }
        << 0 << QStringList { "m/Aux_/con_.mp3<m/a.mp3" };
}

// What a run may take along, what it may remove and which names it may
// give, with undo after each.
void CliTest::libraryRulesHold()
{
    runsAndTheirUndo();
}

// A plan edited after it was written: a move out of the folders it was
// made for, a target spelled with "..", or a folder added to be emptied.
void CliTest::anAlteredPlanIsRefused()
{
    Library library;
    library.make({ "m/a.mp3=One", "elsewhere/x.mp3=Other" });
    QDir().mkpath(QString::fromStdString(library.root() + "/m/empty"));
    QCOMPARE(library.run({ "rename", "-p", "{song}", "--plan-out", "plan.json", "m" }).status, 0);
    const QJsonObject plan = QJsonDocument::fromJson(testsupport::readFile(library.root() + "/plan.json")).object();
    const QJsonObject move = plan["moves"].toArray().first().toObject();
    const auto altered = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject copy = plan;
        change(copy);
        testsupport::writeFile(library.root(), "altered.json", QJsonDocument(copy).toJson());
        return library.run({ "apply", "altered.json" });
    };
    const QStringList before = library.listing();
    const std::string outside = library.root() + "/elsewhere/x.mp3";
    const Result escapes = altered([&](QJsonObject& copy) {
        QJsonObject other = move;
        const auto identity = fs::identityOf(outside);
        other["from"] = QString::fromStdString(outside);
        other["to"] = QString::fromStdString(library.root() + "/m/x.mp3");
        other["inode"] = QString::number(identity->inode);
        other["size"] = QString::number(identity->size);
        other["modified"] = QString::number(identity->modified);
        other["birth"] = QString::number(identity->birth);
        copy["moves"] = QJsonArray { move, other };
    });
    QCOMPARE(escapes.status, 3);
    QVERIFY(escapes.err.contains("not below a folder the plan was made for"));
    const Result dots = altered([&](QJsonObject& copy) {
        QJsonObject up = move;
        up["to"] = QString::fromStdString(library.root() + "/m/../One.mp3");
        copy["moves"] = QJsonArray { up };
    });
    QCOMPARE(dots.status, 3);
    QCOMPARE(library.listing(), before);
    const Result emptied = altered([&](QJsonObject& copy) {
        copy["emptied"] = QJsonArray { QJsonObject {
            { "path", QString::fromStdString(library.root() + "/m/empty") }, { "mode", 0755 } } };
    });
    QCOMPARE(emptied.status, 0);
    QVERIFY(fs::isFolder(library.root() + "/m/empty"));
    QVERIFY(testsupport::exists(library.root() + "/m/One.mp3"));
}

void CliTest::theWholeRunIsCheckedFirst_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("locked"); // a folder given `mode`, or empty
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    const QString longName(250, u'x');
    QTest::newRow("a new path longer than the system takes")
        << QStringList { "m/a.mp3=" + longName + "/" + longName } << QString() << 0
        << QStringList { "rename", "-p", QStringList(17, "{artist}").join('/') + "/{song}", "m" }
        << "the new path is too long for its file system";
    QTest::newRow("a folder the run cannot write in")
        << QStringList { "m/1/a.mp3=A", "m/2/b.mp3=B", "m/3/c.mp3=C" } << "m/2" << 0555
        << QStringList { "rename", "-r", "-p", "{song}", "m" } << "/m/2 cannot be written";
    QTest::newRow("a folder to make in one the run cannot write in")
        << QStringList { "m/a.mp3=One/Band", "lib/keep.txt" } << "lib" << 0555
        << QStringList { "rename", "--to", "lib", "-p", "{artist}/{song}", "m" } << "/lib cannot be written";
    // One may enter the folder and write in it, but not list it: its names
    // are looked up one by one, and the one taken is found.
    QTest::newRow("a target in a folder that cannot be listed")
        << QStringList { "m/a.mp3=A", "m/b.mp3=B", "lib/B.mp3" } << "lib" << 0311
        << QStringList { "rename", "--to", "lib", "-p", "{song}", "m" } << "the target exists and does not move away";
    const QString nfd = QString::fromUtf8("Cafe\xCC\x81"), nfc = nfd.normalized(QString::NormalizationForm_C);
    QTest::newRow("a target in another Unicode form in a folder that cannot be listed")
        << QStringList { "m/a.mp3=" + nfc, "lib/" + nfd + ".mp3" } << "lib" << 0311
        << QStringList { "rename", "--to", "lib", "-p", "{song}", "m" }
        << "a file of the same name in another Unicode form exists";
    // Every name there is unknown, none is free: numbering must give up, not count for ever.
    QTest::newRow("--conflicts number into a folder that cannot be entered")
        << QStringList { "m/a.mp3=A", "lib/keep.txt" } << "lib" << 0
        << QStringList { "rename", "--conflicts", "number", "--to", "lib", "-p", "{song}", "m" }
        << "/lib cannot be written";
}

// What would stop the real run halfway is a conflict of the whole run,
// found by the dry run too: nothing moves and no folder is made.
void CliTest::theWholeRunIsCheckedFirst()
{
    QFETCH(QStringList, files);
    QFETCH(QString, locked);
    QFETCH(int, mode);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    Library library;
    library.make(files);
    const std::string lockedPath = library.root() + "/" + locked.toStdString();
    if (!locked.isEmpty()) {
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody || QProcess::execute("setpriv", { "--reuid=" + QString::number(nobody->pw_uid), "true" }) != 0)
                QSKIP("root writes in any folder, and no other user can be taken here");
            library.runAs(nobody);
        }
        QVERIFY(::chmod(lockedPath.c_str(), static_cast<mode_t>(mode)) == 0);
    }
    const auto unlock = qScopeGuard([&] { ::chmod(lockedPath.c_str(), 0755); });
    const QStringList before = library.listing();
    for (const bool dryRun : { true, false }) {
        QStringList run = arguments;
        if (dryRun)
            run.insert(1, "-n");
        const Result result = library.run(run);
        QVERIFY2(result.status == 3, result.err.constData());
        QVERIFY2(result.err.contains("conflict: ") && result.err.contains(reason.toUtf8()), result.err.constData());
        QCOMPARE(library.listing(), before);
    }
}

void CliTest::applyTakesOnlyWhatRenamePlans_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("arguments"); // of the rename that writes the plan
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("reason");
    const QStringList inPlace { "m/a.mp3=One", "m/b.mp3=Two" };
    const QStringList rename { "rename", "-p", "{song}", "m" };
    const QStringList album { "m/x/a.mp3=One/Band", "m/x/cover.jpg", "m/x/notes.pdf" };
    const QStringList byArtist { "rename", "-r", "--to", "lib", "-p", "{artist}/{song}", "m" };
    QTest::newRow("one file moved twice") << inPlace << rename << "twice"
                                          << "moved twice";
    QTest::newRow("a plan made for /") << inPlace << rename << "root"
                                       << "\"/\"";
    QTest::newRow("a file that is no album companion") << album << byArtist << "pdf"
                                                       << "nor an album companion";
    QTest::newRow("a companion renamed") << album << byArtist << "cover"
                                         << "keeps its name";
    QTest::newRow("a new name without .mp3") << inPlace << rename << "extension"
                                             << "does not end in .mp3";
    QTest::newRow("a hidden new name") << inPlace << rename << "hidden"
                                       << "hidden";
    QTest::newRow("a hidden new folder") << album << byArtist << "hidden folder"
                                         << "hidden";
}

// A plan edited by hand is held to the rules of the rename that wrote it.
void CliTest::applyTakesOnlyWhatRenamePlans()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(QString, edit);
    QFETCH(QString, reason);
    Library library;
    library.make(files);
    const QString root = QString::fromStdString(library.root());
    QCOMPARE(library
                 .run(QStringList(arguments) << "--plan-out"
                                             << "plan.json")
                 .status,
        0);
    QJsonObject plan = QJsonDocument::fromJson(testsupport::readFile(library.root() + "/plan.json")).object();
    QJsonArray moves = plan["moves"].toArray();
    QJsonObject first = moves.first().toObject();
    const auto moveOf = [&](const QString& from, const QString& to) {
        const auto identity = fs::identityOf((root + "/" + from).toStdString());
        return QJsonObject { { "from", root + "/" + from }, { "to", root + "/" + to },
            { "device", QString::number(identity->device) }, { "inode", QString::number(identity->inode) },
            { "size", QString::number(identity->size) }, { "modified", QString::number(identity->modified) },
            { "birth", QString::number(identity->birth) }, { "carried", false } };
    };
    if (edit == "twice") {
        moves.append(moveOf("m/a.mp3", "m/Other.mp3"));
    } else if (edit == "root") {
        plan["roots"] = QJsonArray { QJsonObject { { "path", "/" } } };
    } else if (edit == "pdf") {
        moves.append(moveOf("m/x/notes.pdf", "lib/Band/notes.pdf"));
    } else if (edit == "cover") {
        for (qsizetype i = 0; i < moves.size(); ++i) {
            if (moves[i].toObject()["from"].toString().endsWith("cover.jpg"))
                moves[i] = moveOf("m/x/cover.jpg", "lib/Band/folder.jpg");
        }
    } else {
        const QString to = edit == "extension" ? "m/One" : edit == "hidden" ? "m/.One.mp3" : "lib/.Band/One.mp3";
        first["to"] = root + "/" + to;
        moves[0] = first;
    }
    plan["moves"] = moves;
    testsupport::writeFile(library.root(), "edited.json", QJsonDocument(plan).toJson());
    const QStringList before = library.listing();
    const Result applied = library.run({ "apply", "edited.json" });
    QVERIFY2(applied.status == 3, applied.err.constData());
    QVERIFY2(applied.err.contains(reason.toUtf8()), applied.err.constData());
    QCOMPARE(library.listing(), before);
    QVERIFY(!testsupport::exists(library.root() + "/lib"));
}

void CliTest::jsonSaysWhatWasDone_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("said"); // every status the lines give, once each, sorted
    const QStringList two { "m/a.mp3=One", "m/b.mp3=Two" };
    QTest::newRow("a run") << two << QStringList { "rename", "--json", "-p", "{song}", "m" } << 0
                           << QStringList { "renamed" };
    QTest::newRow("a dry run") << two << QStringList { "rename", "-n", "--json", "-p", "{song}", "m" } << 0
                               << QStringList { "planned" };
    QTest::newRow("a plan kept") << two
                                 << QStringList { "rename", "--plan-out", "plan.json", "--json", "-p", "{song}", "m" }
                                 << 0 << QStringList { "planned" };
    QTest::newRow("a run refused for a conflict")
        << QStringList { "m/a.mp3=One", "m/b.mp3=Two", "m/c.mp3=Two" }
        << QStringList { "rename", "--json", "-p", "{song}", "m" } << 3 << QStringList { "conflict", "refused" };
}

// A file is called renamed only by a run that renamed it.
void CliTest::jsonSaysWhatWasDone()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    Library library;
    library.make(files);
    const Result run = library.run(arguments);
    QVERIFY2(run.status == status, run.err.constData());
    QStringList said;
    for (const QByteArray& line : run.out.split('\n')) {
        const QString word = QJsonDocument::fromJson(line).object().value("status").toString();
        if (!line.isEmpty() && !said.contains(word))
            said << word;
    }
    said.sort();
    QTEST(said, "said");
}

void CliTest::listShowsPathsAndFields()
{
    Library library;
    library.make(
        { "m/b.mp3=Two/Band/Album/2", "m/a.mp3=One/Band/Album/1", "m/sub/c.mp3=", "m/" + escaped('\xFF') + ".mp3=X" });
    const Result plain = library.run({ "list", "m" });
    QCOMPARE(plain.status, 0);
    QCOMPARE(plain.out,
        QByteArray("m/a.mp3\tBand\tAlbum\tOne\t1\t\t\t\t\n"
                   "m/b.mp3\tBand\tAlbum\tTwo\t2\t\t\t\t\n"
                   "m/\xFF.mp3\tArtist\tAlbum\tX\t\t\t\t\t\n"));
    QCOMPARE(library.run({ "list", "-r", "-0", "-f", "{track}\\t{song}", "m" }).out,
        QByteArray("01\tOne\0"
                   "02\tTwo\0"
                   "\tX\0"
                   "\t\0",
            19));
    // -f gives the tag's text, not a name's: "/" and "\\" stay.
    Library slashed;
    QDir().mkpath(QString::fromStdString(slashed.root() + "/m"));
    testsupport::writeFile(slashed.root() + "/m", "a.mp3",
        testsupport::id3v2(3, { { "Back in Black" }, { "AC/DC" }, { "Live\\Studio" } }) + testsupport::audio(300));
    QCOMPARE(slashed.run({ "list", "-f", "{artist}|{album}", "m" }).out, QByteArray("AC/DC|Live\\Studio\n"));
    const Result json = library.run({ "list", "--json", "m" });
    // JSON gives the absolute path.
    const QByteArray absolute = QByteArray::fromStdString(library.root() + "/m/\xFF.mp3");
    QVERIFY(json.out.contains("\"path_hex\":\"" + absolute.toHex() + "\""));
    QVERIFY(json.out.contains("\"song\":\"X\""));
}

void CliTest::aQueryTakesOnlyItsFiles_data()
{
    QTest::addColumn<QStringList>("files"); // as Library::make takes them; "!path": a file too short to be read
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on stdout or stderr (a listing: all it prints); empty: not checked
    QTest::addColumn<QStringList>("after"); // empty: as before
    QTest::addColumn<QByteArray>("shown"); // what "list -f {name}={song}={genre}" shows after; null: not checked
    const QStringList three { "m/a.mp3=One/Band/Album/1", "m/b.mp3=Two/Solo/Album/2", "m/c.flac=Three/Band/Live/3" };
    QTest::newRow("list: and, negation") << three << QStringList { "list", "-f", "{name}", "-q", "band -album:live", "m" }
                                         << 0 << "a.mp3\n" << QStringList {} << QByteArray();
    QTest::newRow("list --count") << three << QStringList { "list", "--count", "-q", "format:flac,track:2", "m" } << 0
                                  << "2\n" << QStringList {} << QByteArray();
    QTest::newRow("list: a file that cannot be read is said")
        << three + QStringList { "!m/bad.mp3" } << QStringList { "list", "--count", "-q", "format:flac,artist:solo", "m" }
        << 1 << "m/bad.mp3: cannot be read" << QStringList {} << QByteArray();
    QTest::newRow("list: ... unless where it lies rules it out")
        << three + QStringList { "!m/bad.mp3" } << QStringList { "list", "--count", "-q", "format:flac", "m" } << 0
        << "1\n" << QStringList {} << QByteArray();
    QTest::newRow("list: a fault names its place")
        << three << QStringList { "list", "-q", "artist:band yaer:1990..", "m" } << 2
        << "the query cannot be read at character 13: unknown field \"yaer\"" << QStringList {} << QByteArray();
    QTest::newRow("rename: only the matches, numbered among them")
        << three << QStringList { "rename", "-p", "{n} {song}", "-q", "artist:band", "m" } << 0
        << "the query matched 2 of 3 files read" << QStringList { "m/01 One.mp3<m/a.mp3", "m/02 Three.flac<m/c.flac", "m/b.mp3" }
        << QByteArray();
    QTest::newRow("rename: the cover stays with a file left out")
        << QStringList { "m/x/a.mp3=One/Band", "m/x/b.mp3=Two/Solo", "m/x/cover.jpg" }
        << QStringList { "rename", "-r", "--to", "lib", "-p", "{artist}/{song}", "-q", "artist:=Band", "m" } << 0 << ""
        << QStringList { "lib/Band/One.mp3<m/x/a.mp3", "m/x/b.mp3", "m/x/cover.jpg" } << QByteArray();
    QTest::newRow("rename: a file left out is never replaced")
        << QStringList { "m/a.mp3=b/Band", "m/b.mp3=Other/Solo" }
        << QStringList { "rename", "-p", "{song}", "-q", "artist:band", "m" } << 3 << "conflict: " << QStringList {}
        << QByteArray();
    QTest::newRow("rename: a dry run says the matches")
        << three << QStringList { "rename", "-n", "-p", "{song}", "-q", "-format:mp3", "m" } << 0
        << "dry run, nothing changed: to rename 1, to move 0, unchanged 0, skipped 0, failed 0; the query matched 1 of 3"
        << QStringList {} << QByteArray();
    QTest::newRow("tag set: only the matches")
        << three << QStringList { "tag", "set", "--genre", "Jazz", "-q", "artist:solo,album:live", "m" } << 0
        << "written 2, unchanged 0, no match 0, failed 0; the query matched 2 of 3 files read" << QStringList {}
        << QByteArray("a.mp3=One=\nb.mp3=Two=Jazz\nc.flac=Three=Jazz\n");
    QTest::newRow("tag from-name: only the matches")
        << three << QStringList { "tag", "from-name", "-p", "{song}", "-q", "track:..2 -artist:solo", "m" } << 0
        << "the query matched 1 of 3" << QStringList {} << QByteArray("a.mp3=a=\nb.mp3=Two=\nc.flac=Three=\n");
    QTest::newRow("tag set: a file that cannot be read, ruled out")
        << three + QStringList { "!m/bad.mp3" } << QStringList { "tag", "set", "--genre", "Jazz", "-q", "format:flac", "m" }
        << 0 << "written 1, unchanged 0, no match 0, failed 0" << QStringList {}
        << QByteArray("a.mp3=One=\nb.mp3=Two=\nc.flac=Three=Jazz\n");
    QTest::newRow("tag set: a fault writes nothing")
        << three << QStringList { "tag", "set", "--genre", "Jazz", "-q", "song::(", "m" } << 2
        << "at character 8: the regular expression cannot be read" << QStringList {}
        << QByteArray("a.mp3=One=\nb.mp3=Two=\nc.flac=Three=\n");
}

void CliTest::aQueryTakesOnlyItsFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QStringList, after);
    QFETCH(QByteArray, shown);
    Library library;
    library.make(files.filter(QRegularExpression("^[^!]")));
    for (const QString& file : files.filter(QRegularExpression("^!")))
        testsupport::writeFile(library.root(), textToName(file.mid(1)), "x");
    const QStringList show { "list", "-r", "-f", "{name}={song}={genre}", "m" };
    const QStringList before = library.listing();
    const QByteArray shownBefore = library.run(show).out;
    const Result run = library.run(arguments);
    QVERIFY2(run.status == status, run.err.constData());
    if (arguments.front() == "list" && status == 0)
        QCOMPARE(run.out, said.toUtf8()); // the records of the matches alone
    QVERIFY2((run.out + run.err).contains(said.toUtf8()), (run.out + run.err).constData());
    if (arguments.front() != "tag") // a tag write changes the bytes the listing knows a file by
        QCOMPARE(library.listing(), after.isEmpty() ? before : after);
    if (!shown.isNull())
        QCOMPARE(library.run(show).out, shown);
    // The undo takes back exactly what the run did.
    library.run(arguments.front() == "tag" ? QStringList { "tag", "undo" } : QStringList { "undo" });
    QCOMPARE(library.listing(), before);
    QCOMPARE(library.run(show).out, shownBefore);
}

void CliTest::pathsCanBeReused_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("line"); // for /bin/sh; script(1) runs a part in a pseudo-terminal
    QTest::addColumn<QByteArray>("out"); // in both, "@" stands for the library's absolute path
    const QStringList odd { "m/a b.mp3=One", "m/x\ny.mp3=Two", "m/plain.mp3=Three" };
    const QStringList twoFolders { "a/x.mp3=One", "b/x.mp3=Two" };
    QTest::newRow("xargs -0 gets every name whole")
        << odd << R"sh("$CLI" list --paths -0 m | xargs -0 stat -c '%n|' --)sh"
        << QByteArray("m/a b.mp3|\nm/plain.mp3|\nm/x\ny.mp3|\n");
    QTest::newRow("a tab-separated line stays one line")
        << QStringList { "m/x\ny.mp3=Two" } << R"sh("$CLI" list m)sh"
        << QByteArray("m/x y.mp3\tArtist\tAlbum\tTwo\t\t\t\t\t\n");
    QTest::newRow("the place fields of -f")
        << QStringList { "m/sub/x\ty.mp3=Two" } << R"sh("$CLI" list -r -f '{folder}|{name}|{ext}|{path}' m)sh"
        << QByteArray("m/sub|x y.mp3|mp3|m/sub/x y.mp3\n");
    QTest::newRow("-f -0 gives the name byte for byte")
        << QStringList { "m/x\ty.mp3=Two" } << R"sh("$CLI" list -0 -f '{name}' m | tr '\0' '#')sh"
        << QByteArray("x\ty.mp3#");
    QTest::newRow("a listing's field names no file")
        << QStringList { "m/a.mp3=One" } << R"sh("$CLI" rename -p '{name}' m 2>/dev/null; echo $?)sh"
        << QByteArray("2\n");
    QTest::newRow("JSON keeps the absolute path")
        << QStringList { "m/x\ny.mp3=Two" } << R"sh("$CLI" list --json m | grep -o '"path":"[^"]*"')sh"
        << QByteArray("\"path\":\"@/m/x\\ny.mp3\"\n");
    QTest::newRow("a message quotes the name")
        << QStringList { "m/x\ny.mp3=" } << R"sh("$CLI" rename -n -p '{song}' m 2>&1 >/dev/null | cut -d: -f1-2)sh"
        << QByteArray("skipped: 'm/x'$'\\n''y.mp3'\n");
    QTest::newRow("a message stays one line")
        << QStringList { "m/x\ny.mp3=Same", "m/z.mp3=Same" } << R"sh("$CLI" rename -p '{song}' m 2>&1 | wc -l)sh"
        << QByteArray("2\n");
    QTest::newRow("rename -n tells two folders apart")
        << twoFolders << R"sh("$CLI" rename -n -p '{song}' a b | grep -- '->')sh"
        << QByteArray("a/x.mp3 -> a/One.mp3\nb/x.mp3 -> b/Two.mp3\n");
    QTest::newRow("rename --to names the target as given")
        << twoFolders << R"sh("$CLI" rename -n -p '{song}' --to ./out a/x.mp3 b | grep -- '->')sh"
        << QByteArray("a/x.mp3 -> ./out/One.mp3\nb/x.mp3 -> ./out/Two.mp3\n");
    QTest::newRow("tag set tells two folders apart")
        << twoFolders << R"sh("$CLI" tag set -n --year 1999 a @/b | grep year)sh"
        << QByteArray("a/x.mp3: year \"\" -> \"1999\"\n@/b/x.mp3: year \"\" -> \"1999\"\n");
    QTest::newRow("undo shows paths from the working directory")
        << twoFolders
        << R"sh("$CLI" rename -p '{song}' a b >/dev/null && cd a && "$CLI" undo | grep -- '->' | LC_ALL=C sort)sh"
        << QByteArray("@/b/Two.mp3 -> @/b/x.mp3\nOne.mp3 -> x.mp3\n");
    QTest::newRow("on a terminal a name is quoted")
        << odd << R"sh(TERM=dumb script -qec '"$CLI" list --paths m' /dev/null | tr -d '\r')sh"
        << QByteArray("m/a b.mp3\nm/plain.mp3\n'm/x'$'\\n''y.mp3'\n");
    QTest::newRow("a dumb terminal gets no escape codes")
        << odd << R"sh(TERM=dumb script -qec '"$CLI" list m' /dev/null | grep -c "$(printf '\033')")sh"
        << QByteArray("0\n");
    QTest::newRow("another terminal gets the progress line")
        << odd << R"sh(TERM=xterm script -qec '"$CLI" list m' /dev/null | grep -q "$(printf '\033')" && echo drawn)sh"
        << QByteArray("drawn\n");
}

void CliTest::pathsCanBeReused()
{
    QFETCH(QStringList, files);
    QFETCH(QString, line);
    QFETCH(QByteArray, out);
    if (line.contains("script -qec") && QProcess::execute("script", { "-qec", "true", "/dev/null" }) != 0)
        QSKIP("no pseudo-terminal for script(1)");
    Library library;
    library.make(files);
    const Result result = library.shell(line.replace("@", QString::fromStdString(library.root())));
    QCOMPARE(result.out, out.replace("@", QByteArray::fromStdString(library.root())));
}

void CliTest::aPlanIsAppliedOnlyToTheFilesItSaw()
{
    Library library;
    library.make({ "m/a.mp3=One", "m/b.mp3=Two" });
    const QStringList before = library.listing();
    for (const char* plan : { "plan1.json", "plan2.json" })
        QCOMPARE(library.run({ "rename", "-p", "{song}", "--plan-out", plan, "m" }).status, 0);
    QCOMPARE(library.listing(), before);
    testsupport::writeFile(library.root() + "/m", "b.mp3", "changed since the plan");
    const Result stale = library.run({ "apply", "plan1.json" });
    QCOMPARE(stale.status, 3);
    QVERIFY(stale.err.contains("changed, moved or deleted since the plan was made"));
    QVERIFY(testsupport::exists(library.root() + "/m/a.mp3"));

    Library fresh;
    fresh.make({ "m/a.mp3=One", "m/b.mp3=Two" });
    QCOMPARE(fresh.run({ "rename", "-p", "{song}", "--plan-out", "plan.json", "m" }).status, 0);
    QCOMPARE(fresh.run({ "apply", "plan.json" }).status, 0);
    QCOMPARE(fresh.listing(), (QStringList { "m/One.mp3<m/a.mp3", "m/Two.mp3<m/b.mp3" }));
    QCOMPARE(fresh.run({ "apply", "plan.json" }).status, 3); // its files are gone from where it saw them
    QCOMPARE(fresh.run({ "undo" }).status, 0);
    QCOMPARE(fresh.listing(), (QStringList { "m/a.mp3", "m/b.mp3" }));

    // A numbered plan holds its numbers; apply -n shows them and changes nothing.
    Library numbered;
    numbered.make({ "m/a.mp3=One", "m/b.mp3=One" });
    QCOMPARE(numbered.run({ "rename", "--conflicts", "number", "-p", "{song}", "--plan-out", "plan.json", "m" }).status, 0);
    const Result dryRun = numbered.run({ "apply", "-n", "plan.json" });
    QCOMPARE(dryRun.status, 0);
    QVERIFY(dryRun.out.contains("m/b.mp3 -> m/One (2).mp3") && dryRun.out.contains("dry run, nothing changed"));
    QCOMPARE(numbered.listing(), (QStringList { "m/a.mp3", "m/b.mp3" }));
    QCOMPARE(numbered.run({ "apply", "plan.json" }).status, 0);
    QCOMPARE(numbered.listing(), (QStringList { "m/One (2).mp3<m/b.mp3", "m/One.mp3<m/a.mp3" }));

    // A numbered name taken since is numbered again from the song's own name.
    Library taken;
    taken.make({ "m/a.mp3=One", "m/b.mp3=One" });
    QCOMPARE(taken.run({ "rename", "--conflicts", "number", "-p", "{song}", "--plan-out", "plan.json", "m" }).status, 0);
    testsupport::writeFile(taken.root() + "/m", "One (2).mp3", "taken since");
    QCOMPARE(taken.run({ "apply", "--conflicts", "number", "plan.json" }).status, 0);
    QCOMPARE(taken.listing(), (QStringList { "m/One (2).mp3<?", "m/One (3).mp3<m/b.mp3", "m/One.mp3<m/a.mp3" }));
}

void CliTest::faultsChangeNothing()
{
    Library library;
    library.make({ "m/a.mp3=One" });
    const Result pattern = library.run({ "rename", "-p", "{song", "m" });
    QCOMPARE(pattern.status, 2);
    QVERIFY(pattern.err.contains("the pattern cannot be read at character 1: \"{\" is not closed"));
    QCOMPARE(library.run({ "rename", "-p", "{song}", "missing" }).status, 2);
    QCOMPARE(library.run({ "rename", "m" }).status, 2);
    // An unset variable in --to "$DEST" would rename in place, and a folder
    // of the pattern's own text that no run could make is a pattern fault.
    QVERIFY(library.run({ "rename", "--to", "", "-p", "{song}", "m" }).err.contains("--to: an empty folder"));
    for (const char* folders : { "{artist}/", " ", "{artist}/../{song}" })
        QCOMPARE(library.run({ "rename", "-p", folders, "m" }).status, 2);
    const Result help = library.run({ "rename", "--help" });
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("130  interrupted"));
    QVERIFY(help.out.contains("(\"&\" stays \"&\")"));
    // A journal that cannot be written: nothing is renamed, and the reason is said.
    testsupport::writeFile(library.root() + "/state", "zentrio", "a file where the state folder should be");
    const Result unrecorded = library.run({ "rename", "-p", "{song}", "m" });
    QCOMPARE(unrecorded.status, 1);
    QVERIFY(unrecorded.err.contains("the rename journal cannot be written"));
    QCOMPARE(library.listing(), QStringList { "m/a.mp3" });
}

void CliTest::aStoppedRunIsUndone_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("after"); // the run's move awaited before the signal; -1: none
    for (const int after : { -1, 0, 60, 150, 280 }) {
        QTest::addRow("killed after move %d", after) << int(SIGKILL) << after;
        QTest::addRow("Ctrl-C after move %d", after) << int(SIGINT) << after;
    }
}

// A 300-file run into new folders stopped at some moment: undo brings every
// file back to its name and folder, and removes the folders made.
void CliTest::aStoppedRunIsUndone()
{
    QFETCH(int, signal);
    QFETCH(int, after);
    Library library;
    QStringList files;
    std::vector<std::string> sources; // in the order the run moves them
    for (int i = 0; i < 300; ++i) {
        files << QString("m/d%1/f%2.mp3=Song %2/Artist %1/Album/%2").arg(i % 7).arg(i);
        sources.push_back(library.root() + "/" + files.back().section('=', 0, 0).toStdString());
    }
    std::sort(sources.begin(), sources.end());
    library.make(files);
    const QStringList before = library.listing();
    std::unique_ptr<QProcess> process(library.start({ "rename", "-r", "--to", "lib", "-p", "{artist}/{song}", "m" }));
    QVERIFY(process->waitForStarted());
    if (after >= 0) {
        QElapsedTimer waited;
        waited.start();
        while (testsupport::exists(sources[static_cast<std::size_t>(after)]) && waited.elapsed() < 20000) { }
    }
    ::kill(static_cast<pid_t>(process->processId()), signal);
    QVERIFY(process->waitForFinished(60000));
    const int moved = int(library.listing().filter(QRegularExpression("^lib/.*mp3")).size());
    if (signal == SIGINT && process->exitStatus() == QProcess::NormalExit)
        QCOMPARE(process->exitCode(), moved == 300 ? 0 : 130);
    const Result undo = library.run({ "undo" });
    QVERIFY2(undo.status == 0, undo.err.constData());
    QCOMPARE(library.listing(), before);
    qInfo("stopped with %d of 300 files moved", moved);
}

void CliTest::playlistsFollowAndComeBack_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("playlist"); // "before>after" ("@" is the library's root in the bytes)
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("rewritten");
    QTest::addColumn<bool>("editedSince");
    const QStringList album { "m/x/a.mp3=One/Band/Album/1", "m/x/b.mp3=Two/Band/Album/2" };
    const QStringList toLibrary { "rename", "-r", "--to", "lib", "-p", "{artist}/{album}/{track} {song}", "m" };
    const QByteArray carried = "#EXTM3U\r\n#EXTINF:123,Band - One\r\na.mp3\r\n@/m/x/b.mp3\r\nother.mp3\r\nhttp://h/a.mp3\r\n";
    const QByteArray carriedAfter
        = "#EXTM3U\r\n#EXTINF:123,Band - One\r\n01 One.mp3\r\n@/lib/Band/Album/02 Two.mp3\r\nother.mp3\r\nhttp://h/a.mp3\r\n";
    QTest::newRow("carried: relative, absolute, comments and others kept") << album
        << "m/x/list.m3u>lib/Band/Album/list.m3u" << carried << toLibrary << carriedAfter << false;
    QTest::newRow("carried, then changed by the user") << album << "m/x/list.m3u>lib/Band/Album/list.m3u" << carried
                                                       << toLibrary << carriedAfter << true;
    const QStringList inPlace { "rename", "-r", "-p", "{track} {song}", "m" };
    const QByteArray utf8 = "\xEF\xBB\xBF#EXTM3U\n./a.mp3\ny/../b.mp3";
    QTest::newRow("in place: a byte-order mark, no last line end") << album << "m/x/l.m3u8>m/x/l.m3u8" << utf8
        << inPlace << QByteArray("\xEF\xBB\xBF#EXTM3U\n01 One.mp3\n02 Two.mp3") << false;
    QTest::newRow("in place, then changed by the user") << album << "m/x/l.m3u8>m/x/l.m3u8" << utf8 << inPlace
                                                        << QByteArray("\xEF\xBB\xBF#EXTM3U\n01 One.mp3\n02 Two.mp3") << true;
    QTest::newRow("staying behind while its files go two ways")
        << QStringList { "m/x/a.mp3=One/Band/Album/1", "m/x/b.mp3=Two/Solo/Live/1" } << "m/x/l.m3u>m/x/l.m3u"
        << QByteArray("a.mp3\nb.mp3\n") << QStringList { "rename", "-r", "--to", "lib", "-p", "{artist}/{song}", "m" }
        << QByteArray("../../lib/Band/One.mp3\n../../lib/Solo/Two.mp3\n") << false;
}

// A playlist among the files a run moves has its entries follow them, and
// undo gives back its exact bytes, unless the person changed it since.
void CliTest::playlistsFollowAndComeBack()
{
    QFETCH(QStringList, files);
    QFETCH(QString, playlist);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, rewritten);
    QFETCH(bool, editedSince);
    Library library;
    const QByteArray root = QByteArray::fromStdString(library.root());
    library.make(files);
    const std::string before = playlist.section('>', 0, 0).toStdString();
    const std::string after = playlist.section('>', 1).toStdString();
    testsupport::writeFile(library.root(), before, bytes.replace("@", root));
    const QStringList listed = library.listing();
    QStringList dryRun = arguments;
    dryRun.insert(1, "-n");
    const Result plan = library.run(dryRun);
    QVERIFY2((plan.out + plan.err).contains("playlists to rewrite 1"), plan.out.constData());
    QCOMPARE(library.listing(), listed);
    const Result run = library.run(arguments);
    QVERIFY2(run.status == 0, run.err.constData());
    QCOMPARE(testsupport::readFile(library.root() + "/" + after), rewritten.replace("@", root));
    if (editedSince)
        testsupport::writeFile(library.root(), after, rewritten + "mine.mp3\n");
    const Result undo = library.run({ "undo" });
    QCOMPARE(undo.status, editedSince ? 1 : 0);
    if (editedSince) {
        QVERIFY(undo.err.contains("changed since the run"));
        QCOMPARE(testsupport::readFile(library.root() + "/" + after), rewritten + "mine.mp3\n");
        QVERIFY(library.listing().filter(".mp3").size() == files.size());
        return;
    }
    QCOMPARE(library.listing(), listed);
    QCOMPARE(testsupport::readFile(library.root() + "/" + before), bytes);
}

void CliTest::anOlderRunIsUndoneByItsNumber_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<QStringList>>("runs"); // each done (exit status 0) before the undo
    QTest::addColumn<QString>("damage"); // "line:TEXT": the record's line holding TEXT spoilt; "marker": a killed rename's
    QTest::addColumn<QStringList>("undo");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on stderr
    QTest::addColumn<QStringList>("after");
    const QStringList two { "m/a.mp3=One", "n/b.mp3=Two" };
    const QStringList inM { "rename", "-p", "{song}", "m" };
    QTest::newRow("no newer run over its files") << two << QList<QStringList> { inM, { "rename", "-p", "{song}", "n" } }
                                                 << QString() << QStringList { "undo", "1" } << 0 << QString()
                                                 << QStringList { "m/a.mp3", "n/Two.mp3<n/b.mp3" };
    QTest::newRow("a newer run moved its file again")
        << two << QList<QStringList> { inM, { "rename", "-p", "{artist} {song}", "m" } } << QString()
        << QStringList { "undo", "1" } << 3 << "run 2, newer, touched it"
        << QStringList { "m/Artist One.mp3<m/a.mp3", "n/b.mp3" };
    QTest::newRow("two runs into one library: the older one undone, the newer one's files kept")
        << two
        << QList<QStringList> { { "rename", "--to", "lib", "-p", "{artist}/{song}", "m" },
               { "rename", "--to", "lib", "-p", "{artist}/{song}", "n" } }
        << QString() << QStringList { "undo", "1" } << 0 << QString()
        << QStringList { "lib/Artist/Two.mp3<n/b.mp3", "m/a.mp3", "n/" };
    const QStringList three { "m/a.mp3=One", "m/b.mp3=Two", "m/c.mp3=Three" };
    QTest::newRow("one damaged move line: the intact moves are undone")
        << three << QList<QStringList> { inM } << "line:/m/b.mp3" << QStringList { "undo" } << 1 << "damaged at line"
        << QStringList { "m/Two.mp3<m/b.mp3", "m/a.mp3", "m/c.mp3" };
    QTest::newRow("a damaged end: the moves past the marks are not guessed")
        << three << QList<QStringList> { inM } << "line:end " << QStringList { "undo" } << 1 << "not known"
        << QStringList { "m/One.mp3<m/a.mp3", "m/Three.mp3<m/c.mp3", "m/Two.mp3<m/b.mp3" };
    QTest::newRow("a rename killed before its record: refused") << two << QList<QStringList> { inM } << "marker"
                                                                << QStringList { "undo" } << 3
                                                                << "stopped before its record was written"
                                                                << QStringList { "m/One.mp3<m/a.mp3", "n/b.mp3" };
    QTest::newRow("a rename killed before its record: the run named is taken")
        << two << QList<QStringList> { inM } << "marker" << QStringList { "undo", "1" } << 0
        << "stopped before its record was written" << QStringList { "m/a.mp3", "n/b.mp3" };
}

// An older run is taken back by its number only when no newer run touched
// its files; a damaged record costs only its damaged lines; a rename never
// recorded is never taken for the older run before it.
void CliTest::anOlderRunIsUndoneByItsNumber()
{
    QFETCH(QStringList, files);
    QFETCH(QList<QStringList>, runs);
    QFETCH(QString, damage);
    QFETCH(QStringList, undo);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QStringList, after);
    Library library;
    library.make(files);
    for (const QStringList& arguments : runs)
        QCOMPARE(library.run(arguments).status, 0);
    const std::string runFolder = library.root() + "/state/zentrio/runs";
    if (damage.startsWith("line:")) {
        QByteArray record = testsupport::readFile(runFolder + "/000000000001.run");
        const qsizetype at = record.indexOf(damage.mid(5).toUtf8());
        QVERIFY(at >= 0);
        record[record.lastIndexOf('\n', at) + 1] = '#';
        testsupport::writeFile(runFolder, "000000000001.run", record);
    } else if (damage == "marker") {
        testsupport::writeFile(runFolder, "started-999999", QByteArray("time ") + QByteArray::number(qint64(::time(nullptr)))
            + "\nafter 1\n");
    }
    const Result result = library.run(undo);
    QVERIFY2(result.status == status, result.err.constData());
    QVERIFY2(result.err.contains(said.toUtf8()), result.err.constData());
    QCOMPARE(library.listing(), after);
    if (status == 0) // nothing of the run taken back is left to undo
        QCOMPARE(library.run({ "undo", "1" }).status, 3);
    QCOMPARE(testsupport::exists(runFolder + "/started-999999"), damage == "marker" && status != 0);
}

void CliTest::caseOnlyOnAVolumeThatIgnoresCase()
{
    if (::geteuid() != 0)
        QSKIP("mounting an exFAT image needs root");
    Library library;
    const QString image = QString::fromStdString(library.root()) + "/exfat.img";
    QFile file(image);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 * 1024 * 1024));
    file.close();
    const QString mount = QString::fromStdString(library.root()) + "/m";
    QDir().mkpath(mount);
    if (QProcess::execute("mkfs.exfat", { image }) != 0)
        QSKIP("mkfs.exfat (exfatprogs) is not available");
    QProcess losetup;
    losetup.start("losetup", { "-f", "--show", image });
    if (!losetup.waitForFinished() || losetup.exitCode() != 0)
        QSKIP("no loop device can be set up here");
    const QString loop = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    const auto detach = qScopeGuard([&] { QProcess::execute("losetup", { "-d", loop }); });
    if (QProcess::execute("mount.exfat-fuse", { loop, mount }) != 0)
        QSKIP("exfat-fuse cannot mount here (no FUSE?)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", { mount }); });
    library.make({ "m/song.mp3=Song", "m/b.mp3=song" });
    const Result twoSpellings = library.run({ "rename", "-p", "{song}", "m" });
    QCOMPARE(twoSpellings.status, 3); // "Song.mp3" and "song.mp3" are one name there
    QCOMPARE(library.run({ "rename", "-p", "{song}", "m/song.mp3" }).status, 0);
    QVERIFY(fs::hasExactEntry(mount.toStdString(), "Song.mp3"));
    QVERIFY(!fs::hasExactEntry(mount.toStdString(), "song.mp3"));
    QCOMPARE(library.run({ "undo" }).status, 0);
    QVERIFY(fs::hasExactEntry(mount.toStdString(), "song.mp3"));
}

void CliTest::loadsNoWindowLibraries()
{
    QProcess ldd;
    ldd.start("ldd", { ZENTRIO_CLI });
    QVERIFY(ldd.waitForFinished());
    const QByteArray libraries = ldd.readAllStandardOutput();
    QVERIFY(libraries.contains("libQt6Core"));
    QVERIFY(!libraries.contains("libQt6Gui"));
    QVERIFY(!libraries.contains("libQt6Widgets"));
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
