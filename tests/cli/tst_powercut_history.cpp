#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/powermount.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

using testsupport::PowerMount;

namespace {

using Tree = QMap<QString, QByteArray>; // path under the mount's root: bytes

QByteArray mp3(const QString& song, const QString& album, const QString& track, int audioBytes)
{
    testsupport::Id3v2Content tag({ song }, { "Band" }, { album });
    tag.track = track;
    return testsupport::id3v2(3, tag) + testsupport::audio(audioBytes);
}

// One album carried with its playlist into a folder the run makes, one into
// a folder the library has already.
Tree twoAlbums()
{
    return {
        { "src/first/01.mp3", mp3("One", "First", "1", 3000) },
        { "src/first/02.mp3", mp3("Two", "First", "2", 2600) },
        { "src/first/first.m3u", "01.mp3\n02.mp3\n" },
        { "src/second/x.mp3", mp3("Three", "Second", "1", 2400) },
        { "src/second/second.m3u", "x.mp3\n" },
        { "lib/Band/Second/.keep", "" },
    };
}

// Two files that swap their names (through a temporary name) and one renamed.
Tree swappedPair()
{
    return {
        { "music/Four.mp3", mp3("Five", "Album", "4", 2100) },
        { "music/Five.mp3", mp3("Four", "Album", "5", 2300) },
        { "music/b.mp3", mp3("One", "Album", "1", 3000) },
    };
}

// An album whose files keep their names when moved into a library: its
// playlist moves along unchanged.
Tree namedAlbum()
{
    return {
        { "src/first/One.mp3", mp3("One", "First", "1", 3000) },
        { "src/first/Two.mp3", mp3("Two", "First", "2", 2600) },
        { "src/first/first.m3u", "One.mp3\nTwo.mp3\n" },
        { "lib/.keep", "" },
    };
}

const QStringList kToLibrary { "rename", "-r", "--to", "../lib", "-p", "{artist}/{album}/{track} - {song}", "." };

enum class Case {
    DryRunCountsFolders, // undo -n says the folders the undo removes
    NoOpRunThenCut, // a run that changed nothing, then a power cut: undo takes the run before it
    KilledDuringPlaylistRewrite, // killed at a sync point of a playlist's rewrite: undo leaves nothing behind
    RepairAfterCutUndo, // the undo after a cut undo says no file was left alone when all are back
    CutBeforeOlderRunLearns, // a playlist rewritten over one an older run moved, cut before that run learns it
};

} // namespace

// Sequences of runs, undos and cuts of the run history, each showing one
// fault found in review; those not mended yet are expected to fail.
class TestPowerCutHistory : public QObject {
    Q_OBJECT

    struct Ran {
        int exitCode = -1;
        QString output;
        qint64 syncs = 0;
    };

    static void lay(const QString& root, const Tree& tree)
    {
        QDir(root).mkpath("state");
        for (auto file = tree.begin(); file != tree.end(); ++file) {
            const QFileInfo info(root + "/" + file.key());
            QDir(root).mkpath(info.dir().path());
            testsupport::writeFile(info.dir().path().toStdString(), info.fileName().toStdString(), file.value());
        }
    }

    static Ran run(const PowerMount& mount, const QStringList& arguments, const QString& folder = ".")
    {
        const qint64 before = mount.status().syncs;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setProcessEnvironment(mount.programEnvironment());
        process.setWorkingDirectory(mount.root() + "/" + folder);
        process.start(ZENTRIO_CLI, arguments);
        process.waitForFinished(60000);
        return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll()), mount.status().syncs - before };
    }

    // The program killed once its Nth sync point has returned, all it did
    // until then on the disk, as a kill (or a journal that commits every
    // pending name at any sync) leaves it.
    static void killAfter(PowerMount& mount, const QStringList& arguments, const QString& folder, int n)
    {
        mount.send("freeze-after " + QByteArray::number(n));
        QProcess child;
        child.setProcessEnvironment(mount.programEnvironment());
        child.setWorkingDirectory(mount.root() + "/" + folder);
        child.start(ZENTRIO_CLI, arguments);
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && !mount.status().frozen && !child.waitForFinished(2)) { }
        child.kill();
        mount.send("sync");
        mount.send("cut");
        child.waitForFinished(30000);
    }

    // The files under the root but the program's state: each path.
    static QStringList filesUnder(const QString& root)
    {
        QStringList files;
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(root).relativeFilePath(it.next());
            if (!path.startsWith("state/") && !path.startsWith("config/"))
                files << path;
        }
        files.sort();
        return files;
    }

    static QString notBack(const QString& root, const Tree& tree)
    {
        QStringList expected = tree.keys();
        expected.sort();
        const QStringList now = filesUnder(root);
        return now == expected ? QString() : "files " + now.join(", ") + " instead of " + expected.join(", ");
    }

    static int number(const QString& output, const QString& words)
    {
        const auto match = QRegularExpression(words + " (\\d+)").match(output);
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

private Q_SLOTS:
    void historyFault_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("known");
        QTest::newRow("undo -n counts the made folder a carried playlist alone kept")
            << int(Case::DryRunCountsFolders) << "dry run undercounts folders to remove";
        QTest::newRow("a run that changed nothing, then a cut: undo takes the newest run")
            << int(Case::NoOpRunThenCut) << "started marker unlinked without a sync comes back";
        QTest::newRow("killed during a playlist's rewrite: undo leaves no file behind")
            << int(Case::KilledDuringPlaylistRewrite) << "playlist rewrite's temporary file stays";
        QTest::newRow("undo cut after its moves back: the next undo leaves no file alone")
            << int(Case::RepairAfterCutUndo) << "a cycle's last step judged changed";
        QTest::newRow("playlist rewritten, cut before the older run learns it: both undos bring it back")
            << int(Case::CutBeforeOlderRunLearns) << "older run knows the playlist's old identity only";
    }

    void historyFault()
    {
        QFETCH(int, which);
        QFETCH(QString, known);
        const Case chosen = static_cast<Case>(which);
        const Tree tree = chosen == Case::RepairAfterCutUndo ? swappedPair()
            : chosen == Case::CutBeforeOlderRunLearns        ? namedAlbum()
                                                             : twoAlbums();
        PowerMount mount;
        lay(mount.backing(), tree);
        QString why;
        if (!mount.mount(why))
            QSKIP(qPrintable(why));
        QString fault;
        switch (chosen) {
        case Case::DryRunCountsFolders: {
            QCOMPARE(run(mount, kToLibrary, "src").exitCode, 0);
            const Ran planned = run(mount, { "undo", "-n" });
            const Ran undone = run(mount, { "undo" });
            QVERIFY2(notBack(mount.root(), tree).isEmpty(), qPrintable(undone.output));
            if (number(planned.output, "to remove") != number(undone.output, "removed"))
                fault = "undo -n said: " + planned.output + "undo said: " + undone.output;
            break;
        }
        case Case::NoOpRunThenCut: {
            QCOMPARE(run(mount, kToLibrary, "src").exitCode, 0);
            QVERIFY(mount.send("sync"));
            QCOMPARE(run(mount, kToLibrary, "src").exitCode, 0); // nothing left to move
            QVERIFY(mount.send("cut"));
            const Ran undone = run(mount, { "undo" });
            if (undone.exitCode != 0 || !notBack(mount.root(), tree).isEmpty())
                fault = "undo said: " + undone.output;
            break;
        }
        case Case::KilledDuringPlaylistRewrite: {
            // The sync point of the first playlist's copy before it is renamed over the playlist.
            PowerMount probe;
            lay(probe.backing(), tree);
            QVERIFY(probe.mount(why));
            const qint64 before = probe.status().syncs;
            QCOMPARE(run(probe, kToLibrary, "src").exitCode, 0);
            const QStringList points = probe.syncPoints().mid(before);
            const auto copy = std::find_if(
                points.begin(), points.end(), [](const QString& point) { return point.contains("/.first.m3u."); });
            QVERIFY(copy != points.end());
            killAfter(mount, kToLibrary, "src", static_cast<int>(copy - points.begin()) + 1);
            const Ran planned = run(mount, { "undo", "-n" });
            const Ran undone = run(mount, { "undo" });
            fault = notBack(mount.root(), tree);
            if (!fault.isEmpty() || number(planned.output, "to remove") != number(undone.output, "removed"))
                fault += "; undo -n said: " + planned.output + "undo said (" + QString::number(undone.exitCode)
                    + "): " + undone.output;
            break;
        }
        case Case::RepairAfterCutUndo: {
            QCOMPARE(run(mount, { "rename", "-p", "{song}", "." }, "music").exitCode, 0);
            QVERIFY(mount.send("sync"));
            const Ran whole = [&] {
                PowerMount probe;
                lay(probe.backing(), tree);
                probe.mount(why);
                run(probe, { "rename", "-p", "{song}", "." }, "music");
                probe.send("sync");
                return run(probe, { "undo" });
            }();
            // Every sync point but the last, the removal of the record.
            const auto cut = mount.runAndCut(
                ZENTRIO_CLI, { "undo" }, mount.programEnvironment(), mount.root(), static_cast<int>(whole.syncs) - 1);
            QVERIFY(cut.frozen);
            QVERIFY(notBack(mount.root(), tree).isEmpty());
            const Ran repair = run(mount, { "undo" });
            if (repair.exitCode != 0 || repair.output.contains("left alone"))
                fault = "every file is back, yet undo said: " + repair.output;
            break;
        }
        case Case::CutBeforeOlderRunLearns: {
            const QStringList keepNames { "rename", "-r", "--to", "../lib", "-p", "{artist}/{album}/{song}", "." };
            const QStringList inPlace { "rename", "-p", "{track} - {song}", "." };
            QCOMPARE(run(mount, keepNames, "src").exitCode, 0);
            QVERIFY(mount.send("sync"));
            // The sync point that makes the rewritten playlist's name last.
            PowerMount probe;
            lay(probe.backing(), tree);
            QVERIFY(probe.mount(why));
            QCOMPARE(run(probe, keepNames, "src").exitCode, 0);
            const qint64 before = probe.status().syncs;
            QCOMPARE(run(probe, inPlace, "lib/Band/First").exitCode, 0);
            const QStringList points = probe.syncPoints().mid(before);
            const auto copy = std::find_if(
                points.begin(), points.end(), [](const QString& point) { return point.contains("/.first.m3u."); });
            QVERIFY(copy != points.end() && copy + 1 != points.end());
            const auto cut = mount.runAndCut(ZENTRIO_CLI, inPlace, mount.programEnvironment(), mount.root() + "/lib/Band/First",
                static_cast<int>(copy - points.begin()) + 2);
            QVERIFY(cut.frozen);
            const Ran newer = run(mount, { "undo" });
            const Ran older = run(mount, { "undo" });
            fault = notBack(mount.root(), tree);
            if (!fault.isEmpty() || newer.exitCode != 0 || older.exitCode != 0)
                fault += "; undo said: " + newer.output + "then: " + older.output;
            break;
        }
        }
        if (!fault.isEmpty())
            qInfo("%s", qPrintable(fault)); // the reproduction, while the fault stands
        const bool mended = chosen != Case::CutBeforeOlderRunLearns;
        if (!mended)
            QEXPECT_FAIL("", qPrintable(known), Continue);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
};

QTEST_GUILESS_MAIN(TestPowerCutHistory)
#include "tst_powercut_history.moc"
