#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/powermount.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

using testsupport::PowerMount;

namespace {

// A file of the tree a run starts from, by its path under the mount's root.
using Tree = QMap<QString, QByteArray>; // path: bytes

QByteArray mp3(const QString& song, const QString& album, const QString& track, int audioBytes)
{
    testsupport::Id3v2Content tag({ song }, { "Band" }, { album });
    tag.track = track;
    return testsupport::id3v2(3, tag) + testsupport::audio(audioBytes);
}

// One folder renamed in place: three files to new names, and two that swap
// names (a cycle, through a temporary name).
Tree oneFolder()
{
    return {
        { "music/b.mp3", mp3("One", "Album", "1", 3000) },
        { "music/a.mp3", mp3("Two", "Album", "2", 2500) },
        { "music/c.mp3", testsupport::audio(2200) + testsupport::id3v1("Three", "Band", "Album") },
        { "music/Four.mp3", mp3("Five", "Album", "4", 2100) },
        { "music/Five.mp3", mp3("Four", "Album", "5", 2300) },
    };
}

// Two album folders moved into a library, a cover picture and a playlist
// (rewritten for the new names) carried along with each: the first into
// folders the run makes, its own folder emptied and removed; the second
// into an album folder the library has already, a text file staying behind.
Tree twoAlbums()
{
    return {
        { "src/first/01.mp3", mp3("One", "First", "1", 3000) },
        { "src/first/02.mp3", mp3("Two", "First", "2", 2600) },
        { "src/first/cover.jpg", testsupport::audio(700) },
        { "src/first/first.m3u", "01.mp3\n02.mp3\n" },
        { "src/second/x.mp3", mp3("Three", "Second", "1", 2400) },
        { "src/second/y.mp3", mp3("Four", "Second", "2", 2200) },
        { "src/second/folder.jpg", testsupport::audio(900) },
        { "src/second/second.m3u", "x.mp3\ny.mp3\n" },
        { "src/second/notes.txt", "ripped 2009\n" },
    };
}

// A sync point as the log names it, a started marker's process number, a
// temporary file's random part and an undo note's time left out, so that
// two runs name their sync points alike.
QString named(const QString& point)
{
    static const QRegularExpression pid(QStringLiteral("/started-[0-9]+$"));
    static const QRegularExpression temporary(QStringLiteral("(/\\.[^/]+)\\.[A-Za-z0-9]{6}$"));
    static const QRegularExpression undone(QStringLiteral("/\\.undone-([0-9]+)-[0-9]+\\."));
    return QString(point)
        .remove(QStringLiteral(" lost"))
        .replace(pid, QStringLiteral("/started-PID"))
        .replace(temporary, QStringLiteral("\\1.XXXXXX"))
        .replace(undone, QStringLiteral("/.undone-\\1-TIME."));
}

QByteArray digest(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

// Every file under the root but the program's own state: path and digest.
QMap<QString, QByteArray> filesUnder(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(root).relativeFilePath(it.next());
        if (!path.startsWith("state/") && !path.startsWith("config/"))
            files[path] = digest(testsupport::readFile(it.filePath().toStdString()));
    }
    return files;
}

QStringList foldersUnder(const QString& root)
{
    QStringList folders;
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(root).relativeFilePath(it.next());
        if (!path.startsWith("state") && !path.startsWith("config"))
            folders << path;
    }
    folders.sort();
    return folders;
}

bool oneFile(const QString& a, const QString& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::lstat(QFile::encodeName(a).constData(), &sa) == 0 && ::lstat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_ino == sb.st_ino && sa.st_dev == sb.st_dev;
}

// Where each file of the tree went in a whole run, and its bytes there: a
// file moved keeps its bytes; a playlist is the one file whose bytes change.
struct Place {
    QString path;
    QByteArray digest;
};
QMap<QString, Place> whereEachWent(const Tree& tree, const QMap<QString, QByteArray>& after)
{
    QMap<QString, Place> went;
    QMap<QString, QByteArray> unclaimed = after;
    for (auto file = tree.begin(); file != tree.end(); ++file)
        for (auto found = unclaimed.begin(); found != unclaimed.end(); ++found)
            if (found.value() == digest(file.value())) {
                went[file.key()] = { found.key(), found.value() };
                unclaimed.erase(found);
                break;
            }
    for (auto file = tree.begin(); file != tree.end(); ++file)
        for (auto found = unclaimed.begin(); !went.contains(file.key()) && found != unclaimed.end(); ++found)
            if (QFileInfo(found.key()).suffix() == QFileInfo(file.key()).suffix()) {
                went[file.key()] = { found.key(), found.value() };
                unclaimed.erase(found);
                break;
            }
    return went;
}

enum class Cut {
    Run, // the run itself
    Undo, // the undo of the whole run, made durable first
    RunThenUndo, // the run, then the undo that follows (the repair), cut again
};

struct Scenario {
    Tree tree;
    QStringList folders; // made empty beside the tree (a library to fill)
    QString program;
    QStringList arguments;
    QString folder; // where the program runs
    Cut cut = Cut::Run;
};

QMap<QString, Scenario> scenarios()
{
    const Scenario inPlace { oneFolder(), {}, ZENTRIO_CLI, { "rename", "-p", "{song}", "." }, "music", Cut::Run };
    const Scenario toLibrary { twoAlbums(), { "lib/Band/Second" }, ZENTRIO_CLI,
        { "rename", "-r", "--to", "../lib", "-p", "{artist}/{album}/{track} - {song}", "." }, "src", Cut::Run };
    Scenario undo = toLibrary;
    undo.cut = Cut::Undo;
    Scenario repairCut = toLibrary;
    repairCut.cut = Cut::RunThenUndo;
    const Scenario window { oneFolder(), {}, ZENTRIO_FOLDERRUN, { "." }, "music", Cut::Run };
    return {
        { "rename in place", inPlace },
        { "rename to a library", toLibrary },
        { "undo of the library run", undo },
        { "library run, then its undo", repairCut },
        { "window's folder run", window },
    };
}

} // namespace

// A sanitizer build runs every program ten times slower: it cuts each run
// at every sync point still, and an undo after a cut run at every fourth.
#ifdef ZENTRIO_SANITIZED
constexpr bool kSampled = true;
#else
constexpr bool kSampled = false;
#endif

// Renames and moves with the power cut at each of their sync points, the
// run history on the same mount: every file at exactly one of its paths
// with its bytes, then zentrio-cli undo brings each back, as a person
// would run it once the machine is back.
class TestPowerCutMove : public QObject {
    Q_OBJECT

    struct Whole {
        QMap<QString, Place> went;
        qint64 syncs = 0;
        QStringList points; // the program's sync points, named()
        QStringList folders; // after the whole run
    };
    QMap<QString, Whole> m_whole; // each scenario's whole run, uncut
    QString m_skip;
    bool m_untried = false; // a cut of the last firstBreakWithout was not tried

    static void lay(const QString& root, const Scenario& scenario)
    {
        for (const QString& folder : scenario.folders + QStringList { "state", "config" })
            QDir(root).mkpath(folder);
        for (auto file = scenario.tree.begin(); file != scenario.tree.end(); ++file) {
            const QFileInfo info(root + "/" + file.key());
            QDir(root).mkpath(info.dir().path());
            testsupport::writeFile(info.dir().path().toStdString(), info.fileName().toStdString(), file.value());
        }
    }

    struct Ran {
        int exitCode = -1;
        QByteArray output;
        qint64 syncs = 0;
    };
    static Ran run(const PowerMount& mount, const QString& program, const QStringList& arguments, const QString& folder)
    {
        const qint64 before = mount.status().syncs;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(mount.programEnvironment());
        process.setWorkingDirectory(mount.root() + "/" + folder);
        process.start(program, arguments);
        process.waitForFinished(60000);
        return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAll(),
            mount.status().syncs - before };
    }
    static Ran undo(const PowerMount& mount) { return run(mount, ZENTRIO_CLI, { "undo" }, "."); }

    static PowerMount::Run undoAndCut(PowerMount& mount, int freezeAfter, const QByteArray& cut = "cut")
    {
        return mount.runAndCut(ZENTRIO_CLI, { "undo" }, mount.programEnvironment(), mount.root(), freezeAfter, cut);
    }

    // The start-up repair, as a person starts once the machine is back: a
    // rename over an empty folder.
    static void repair(const PowerMount& mount)
    {
        QDir(mount.root()).mkpath("state/nothing");
        run(mount, ZENTRIO_CLI, { "rename", "-p", "{song}", "." }, "state/nothing");
    }

    // After a cut: each file of the tree at exactly one of its paths, old
    // or new, with its bytes there (a playlist with its old or its new
    // bytes), and no other file beside them. Before the start-up repair, a
    // move synced at its new folder and not yet at its old one may leave
    // one file under both names (`bothNames`).
    static QString eachFileOnce(const QString& root, const Tree& tree, const QMap<QString, Place>& went,
        bool bothNames = false, bool* underBoth = nullptr)
    {
        QMap<QString, QByteArray> found = filesUnder(root);
        QStringList faults;
        for (auto file = tree.begin(); file != tree.end(); ++file) {
            const Place& to = went[file.key()];
            const QList<QByteArray> bytes { digest(file.value()), to.digest };
            int at = 0;
            for (const QString& path : { file.key(), to.path })
                if (found.contains(path) && bytes.contains(found[path])) {
                    ++at;
                    found.remove(path);
                }
            if (at == 2 && underBoth)
                *underBoth = true;
            if (at == 0 || (at == 2 && !(bothNames && oneFile(root + "/" + file.key(), root + "/" + to.path))))
                faults << file.key() + (at == 0 ? " is at neither " : " is at both ") + "its old and new path";
        }
        // A playlist's rewrite copy cut before its bytes reached the disk is
        // left empty: the repair says it and leaves it, as it might be
        // another writer's copy, and no file of the run is lost by it.
        static const QRegularExpression rewriteCopy(QStringLiteral("(^|/)\\.[^/]+\\.m3u8?\\.[A-Za-z0-9]{6}$"));
        for (auto stray = found.begin(); stray != found.end(); ++stray)
            if (stray.value() != digest({}) || !rewriteCopy.match(stray.key()).hasMatch())
                faults << "a file not of the run, or with other bytes: " + stray.key();
        return faults.join("; ");
    }

    // After a whole run: every file where the run put it, with its bytes
    // there, and the folders as the run left them.
    static QString allMoved(const QString& root, const QMap<QString, Place>& went, const QStringList& folders)
    {
        QMap<QString, QByteArray> expected;
        for (const Place& place : went)
            expected[place.path] = place.digest;
        const QMap<QString, QByteArray> now = filesUnder(root);
        QStringList faults;
        for (auto file = expected.begin(); file != expected.end(); ++file)
            if (now.value(file.key()) != file.value())
                faults << file.key() + " not there with its bytes";
        for (auto file = now.begin(); file != now.end(); ++file)
            if (!expected.contains(file.key()))
                faults << "still there: " + file.key();
        if (foldersUnder(root) != folders)
            faults << "folders " + foldersUnder(root).join(", ") + " instead of " + folders.join(", ");
        return faults.join("; ");
    }

    // After the undo: every file back at its path with its bytes, no other
    // file, the folders as they were.
    static QString allBack(const QString& root, const Scenario& scenario, const QStringList& foldersBefore)
    {
        QMap<QString, QByteArray> before;
        for (auto file = scenario.tree.begin(); file != scenario.tree.end(); ++file)
            before[file.key()] = digest(file.value());
        QStringList faults;
        const QMap<QString, QByteArray> now = filesUnder(root);
        for (auto file = before.begin(); file != before.end(); ++file)
            if (now.value(file.key()) != file.value())
                faults << file.key() + " not back with its bytes";
        for (auto file = now.begin(); file != now.end(); ++file)
            if (!before.contains(file.key()))
                faults << "left: " + file.key();
        if (foldersUnder(root) != foldersBefore)
            faults << "folders " + foldersUnder(root).join(", ") + " instead of " + foldersBefore.join(", ");
        return faults.join("; ");
    }

    // What a user finds broken after the cut, empty when nothing is: each
    // file at one of its paths, before and after the start-up repair (which
    // leaves no file under two names); a run that ended and said so
    // lasted; undo brings every file back and says so; a second undo finds
    // nothing to undo. `undoEnded`: the program cut was an undo.
    static QString brokenAfterCut(const PowerMount& mount, const Scenario& chosen, const Whole& whole,
        const PowerMount::Run& cutRun, bool undoEnded, const QStringList& foldersBefore)
    {
        const QMap<QString, Place>& went = whole.went;
        const QString root = mount.root();
        const QString cutSaid = "\n" + QString::fromUtf8(cutRun.output);
        bool underBoth = false;
        if (const QString once = eachFileOnce(root, chosen.tree, went, true, &underBoth); !once.isEmpty())
            return once + cutSaid;
        // The repair removes only a name of a file under two; with none it
        // has nothing to do (undo runs it too).
        if (underBoth)
            repair(mount);
        if (const QString once = eachFileOnce(root, chosen.tree, went); !once.isEmpty())
            return "after the start-up repair: " + once + cutSaid;
        // A run that ended and said so lasts through the cut after it.
        if (cutRun.ended && cutRun.exitCode == 0) {
            const QString lasted = undoEnded ? allBack(root, chosen, foldersBefore) : allMoved(root, went, whole.folders);
            if (!lasted.isEmpty())
                return "after the run ended: " + lasted;
        }
        const Ran undone = undo(mount);
        const QString undoSaid = "\nundo said: " + QString::fromUtf8(undone.output);
        // An undo that ended and said so is not offered again after the cut.
        if (undoEnded && cutRun.ended && cutRun.exitCode == 0 && undone.output != "nothing to undo\n")
            return "an undo that ended is offered again" + undoSaid;
        if (const QString back = allBack(root, chosen, foldersBefore); !back.isEmpty())
            return back + undoSaid;
        if (undone.exitCode != 0)
            return "every file is back, yet undo failed" + undoSaid;
        const Ran again = undo(mount);
        if (again.output != "nothing to undo\n" || again.exitCode != 0)
            return "a second undo: " + QString::fromUtf8(again.output);
        return {};
    }

    // The scenario's program cut after `freezeAfter` of its sync points (an
    // undo: once the run it takes back is durable), the `loseSync`th lost.
    static PowerMount::Run runAndCut(
        PowerMount& mount, const Scenario& chosen, int freezeAfter, const QByteArray& cut, int loseSync = 0)
    {
        if (chosen.cut != Cut::Undo)
            return mount.runAndCut(chosen.program, chosen.arguments, mount.programEnvironment(),
                mount.root() + "/" + chosen.folder, freezeAfter, cut, loseSync);
        if (run(mount, chosen.program, chosen.arguments, chosen.folder).exitCode != 0 || !mount.send("sync"))
            return {};
        return mount.runAndCut(ZENTRIO_CLI, { "undo" }, mount.programEnvironment(), mount.root(), freezeAfter, cut, loseSync);
    }

    void measure(const QString& name, const Scenario& scenario)
    {
        PowerMount mount;
        lay(mount.backing(), scenario);
        if (!mount.mount(m_skip))
            return;
        const Ran whole = run(mount, scenario.program, scenario.arguments, scenario.folder);
        QVERIFY2(whole.exitCode == 0, whole.output.constData());
        m_whole[name].went = whereEachWent(scenario.tree, filesUnder(mount.root()));
        m_whole[name].folders = foldersUnder(mount.root());
        m_whole[name].syncs = whole.syncs;
        qint64 before = 0;
        if (scenario.cut == Cut::Undo) {
            QVERIFY(mount.send("sync"));
            before = mount.status().syncs;
            m_whole[name].syncs = undo(mount).syncs;
        } else {
            before = mount.status().syncs - whole.syncs;
        }
        m_whole[name].points.clear();
        for (const QString& point : mount.syncPoints().mid(before, m_whole[name].syncs))
            m_whole[name].points << named(point);
    }

    // The syncs of the undo that follows the run cut after `cutAfter`.
    qint64 undoSyncsAfter(const Scenario& scenario, int cutAfter)
    {
        PowerMount mount;
        lay(mount.backing(), scenario);
        if (!mount.mount(m_skip))
            return 0;
        mount.runAndCut(scenario.program, scenario.arguments, mount.programEnvironment(), mount.root() + "/" + scenario.folder,
            cutAfter);
        return undo(mount).syncs;
    }

    // The syncs before a cut, in any order: two runs whose syncs made at
    // once came out in other orders cut at the same state when alike.
    static QStringList syncedBefore(const QStringList& points, int cut)
    {
        QStringList before = points.mid(0, cut);
        before.sort();
        return before;
    }

    // What broke at the cut after `cutAfter` sync points (past the last:
    // the run's end) with the `lost`th lost, empty when nothing did. The
    // moves made at once sync their folders at once, in no fixed order: a
    // try whose lost sync point came out another, or whose cut came after
    // other syncs than the whole run's, is made again, the point lost moved
    // by one or two places and the cut with it or not; after the tries run
    // out the cut is left out, and said.
    QString brokenWithout(const QString& name, int lost, int cutAfter, const QByteArray& how)
    {
        const Scenario chosen = scenarios()[name];
        const QStringList& points = m_whole[name].points;
        const auto occurrence = [](const QStringList& list, int upTo) {
            return list.mid(0, upTo).count(list.value(upTo - 1));
        };
        const bool atTheEnd = cutAfter > points.size();
        QString seen;
        static constexpr std::pair<int, int> kTries[] { { 0, 0 }, { 1, 1 }, { 1, 0 }, { -1, -1 }, { -1, 0 }, { 2, 2 },
            { 2, 0 }, { -2, -2 }, { -2, 0 }, { 0, 0 }, { 1, 1 }, { 1, 0 }, { -1, -1 }, { -1, 0 } };
        for (const auto& [shift, cutShift] : kTries) {
            const int position = lost + shift;
            if (position < 1 || position > points.size() || (atTheEnd && cutShift != shift))
                continue; // at the end there is no cut to move
            const int freeze = atTheEnd ? -1 : std::min<int>(points.size(), cutAfter + cutShift);
            PowerMount mount;
            lay(mount.backing(), chosen);
            QString why;
            if (!mount.mount(why))
                return {};
            const QStringList foldersBefore = foldersUnder(mount.root());
            const PowerMount::Run cut = runAndCut(mount, chosen, freeze, how, position);
            QStringList trial;
            for (const QString& point : cut.syncPoints)
                trial << named(point);
            seen = cut.syncPoints.value(position - 1);
            if (!seen.endsWith(" lost") || trial.value(position - 1) != points[lost - 1]
                || occurrence(trial, position) != occurrence(points, lost))
                continue;
            if (!atTheEnd && syncedBefore(trial, freeze) != syncedBefore(points, cutAfter))
                continue;
            const bool undoEnded = chosen.cut == Cut::Undo;
            return brokenAfterCut(mount, chosen, m_whole[name], cut, undoEnded, foldersBefore);
        }
        // Not tried: the moves made at once never synced in that order.
        m_untried = true;
        qInfo("cut after %d with %s lost not tried: %s came instead", cutAfter, qPrintable(points[lost - 1]),
            qPrintable(seen));
        return {};
    }

    // The first cut after losing sync point `lost` that breaks what a user
    // relies on, as "after N: what broke"; empty when none does. The writes
    // pending at a cut are dropped (a torn record line is ignored as a lost
    // one is). Cuts past the next sync of the same file or folder are not
    // tried: it makes durable what the lost one would have.
    QString firstBreakWithout(const QString& name, int lost)
    {
        const QStringList& points = m_whole[name].points;
        m_untried = false;
        for (int cutAfter = lost; cutAfter <= points.size() + 1; ++cutAfter) {
            if (cutAfter > lost && cutAfter <= points.size() && points[cutAfter - 1] == points[lost - 1])
                break;
            const QString what = brokenWithout(name, lost, cutAfter, "cut");
            if (!what.isEmpty())
                return (cutAfter > points.size() ? QString("at the end") : QString("after %1").arg(cutAfter)) + ": "
                    + what;
        }
        return {};
    }

    // Whether nothing breaks without sync point `lost`. A cut the order of
    // the syncs never allowed leaves the point unjudged, unless it is one
    // shown needless anyway. The moves made at once sync in no fixed order
    // and race the syncs of the folders they touch, so what a lost sync
    // leaves behind can differ from run to run: a verdict against the
    // expected one is judged again, and stands only when every try gives it.
    bool judgedNeedless(const QString& name, int lost, bool expectedNeedless)
    {
        static constexpr int kJudgements = 3;
        const QString& point = m_whole[name].points[lost - 1];
        bool needless = false;
        for (int judged = 1; judged <= kJudgements; ++judged) {
            const QString broken = firstBreakWithout(name, lost);
            qInfo("sync %d, %s (try %d): %s", lost, qPrintable(point), judged,
                broken.isEmpty() ? "nothing breaks without it" : qPrintable(broken.left(300)));
            needless = broken.isEmpty() && (!m_untried || expectedNeedless);
            if (needless == expectedNeedless)
                break;
        }
        return needless;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const auto all = scenarios();
        for (auto scenario = all.begin(); scenario != all.end() && m_skip.isEmpty(); ++scenario)
            measure(scenario.key(), scenario.value());
    }

    void eachFileOnceThenUndone_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("cutAfter");
        QTest::addColumn<QByteArray>("cut");
        QTest::addColumn<int>("undoCutAfter");
        const auto all = scenarios();
        for (auto scenario = all.begin(); scenario != all.end(); ++scenario) {
            if (!m_skip.isEmpty()) {
                QTest::newRow("no mount") << QString() << -1 << QByteArray() << -1;
                return;
            }
            const QString name = scenario.key();
            const qint64 syncs = m_whole[name].syncs;
            // Past the last sync point: the power goes right after the run ended.
            for (int n = 1; n <= syncs + 1; ++n) {
                if (scenario->cut != Cut::RunThenUndo) {
                    QTest::addRow("%s, cut after sync %d of %lld", qPrintable(name), n, syncs)
                        << name << n << QByteArray("cut") << -1;
                    if (n <= syncs && scenario->cut == Cut::Run)
                        QTest::addRow("%s, cut after sync %d of %lld, first pending write torn", qPrintable(name), n,
                            syncs) << name << n << QByteArray("cut keep=2,3 tear=1") << -1;
                    continue;
                }
                const qint64 undoSyncs = undoSyncsAfter(scenario.value(), n);
                for (int k = 1; k <= undoSyncs; ++k) {
                    if (kSampled && k % 4 != 1 && k != undoSyncs)
                        continue;
                    QTest::addRow("%s, run cut after sync %d of %lld, undo after sync %d of %lld", qPrintable(name), n,
                        syncs, k, undoSyncs) << name << n << QByteArray("cut") << k;
                }
            }
        }
    }

    // Each sync point of the move writers lost in turn (it returns success
    // and makes nothing durable, as a disk that drops a flush would), then
    // the power cut after each later one until something a user relies on
    // breaks. `covered` are those no cut shows needed in the run.
    void everySyncPointOfTheMovesIsNeeded_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("covered");
        // Covered here, needed elsewhere: the started marker's bytes (the
        // repair reads them only for moves between folders) and name (the
        // record's own folder sync follows before anything moves; without
        // it a cut while the run plans would hide the run from undo); the
        // last number given (needed once a run undone in full is gone);
        // a folder emptied and removed (its parent's sync drops it whole);
        // the folders an undo's moves left (the playlists' moves back sync
        // them again here) and its note to older runs (there are none).
        const QString runs = "/state/zentrio/runs";
        const QStringList marker { "fsync " + runs + "/started-PID", "fsyncdir " + runs };
        const QStringList last { "fsync " + runs + "/.last.XXXXXX", "fsyncdir " + runs };
        QTest::newRow("rename in place") << "rename in place" << marker + last;
        QTest::newRow("rename to a library")
            << "rename to a library" << QStringList { "fsyncdir " + runs, "fsyncdir /src/first" } + last;
        QTest::newRow("undo of the library run")
            << "undo of the library run"
            << QStringList { "fsyncdir /lib/Band/First", "fsyncdir /lib/Band/Second",
                   "fsync " + runs + "/.undone-1-TIME.XXXXXX", "fsyncdir " + runs };
    }

    void everySyncPointOfTheMovesIsNeeded()
    {
        QFETCH(QString, scenario);
        QFETCH(QStringList, covered);
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        if (kSampled)
            QSKIP("where the syncs are is the plain build's to show; a sanitizer build runs the cuts only");
        const QStringList& points = m_whole[scenario].points;
        QVERIFY(!points.isEmpty());
        QStringList needless;
        for (int lost = 1; lost <= points.size(); ++lost) {
            if (judgedNeedless(scenario, lost, covered.contains(points[lost - 1])))
                needless << points[lost - 1];
        }
        needless.sort();
        covered.sort();
        QCOMPARE(needless, covered);
    }

    void eachFileOnceThenUndone()
    {
        QFETCH(QString, scenario);
        QFETCH(int, cutAfter);
        QFETCH(QByteArray, cut);
        QFETCH(int, undoCutAfter);
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(m_skip));
        const Scenario chosen = scenarios()[scenario];
        PowerMount mount;
        lay(mount.backing(), chosen);
        QString why;
        if (!mount.mount(why))
            QSKIP(qPrintable(why));
        const QStringList foldersBefore = foldersUnder(mount.root());
        PowerMount::Run cutRun = runAndCut(mount, chosen, cutAfter, cut);
        if (undoCutAfter > 0)
            cutRun = undoAndCut(mount, undoCutAfter);
        QVERIFY2(cutRun.frozen || cutRun.ended, cutRun.output.constData());

        const bool undoEnded = chosen.cut == Cut::Undo || undoCutAfter > 0;
        const QString broken = brokenAfterCut(mount, chosen, m_whole[scenario], cutRun, undoEnded, foldersBefore);
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
    }
};

QTEST_GUILESS_MAIN(TestPowerCutMove)
#include "tst_powercut_move.moc"
