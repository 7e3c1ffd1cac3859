#include "platform/fs/fsops.h"
#include "rename/history/cutmoves.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

namespace {

// A run of one move, old/NAME to new/NAME, recorded in `runs`, whose
// program is gone without ending it; the disk then left as `state` says.
struct CutRun {
    testsupport::TempDir dir;
    std::string root = dir.path().toStdString();
    RunHistory history { root + "/runs" };

    void make(const std::string& name, const QString& state, const QString& marker)
    {
        for (const char* folder : { "/old", "/new", "/runs" })
            QVERIFY(::mkdir((root + folder).c_str(), 0755) == 0);
        const std::string from = root + "/old/" + name;
        const std::string to = root + "/new/" + name;
        testsupport::writeFile(root + "/old", name, testsupport::audio(900));
        if (state.contains("a link the user made"))
            QVERIFY(::link(from.c_str(), (root + "/old/mine.mp3").c_str()) == 0);
        RunRecord record;
        record.kind = RunKind::Moves;
        record.origin = RunOrigin::CommandLine;
        record.batch = 1;
        record.moves.push_back({ from, to, *fs::identityOf(from) });
        QVERIFY(history.begin(record).writer.has_value()); // the writer goes unended: the run was cut
        if (state.startsWith("both names"))
            QVERIFY(::link(from.c_str(), to.c_str()) == 0);
        else
            QVERIFY(::rename(from.c_str(), to.c_str()) == 0);
        if (state == "another file at the old name")
            testsupport::writeFile(root + "/old", name, testsupport::audio(900));
        if (marker == "run cut")
            testsupport::writeFile(root + "/runs", "started-999999", "time 1\nafter 0\n");
        else if (marker == "undo cut")
            testsupport::writeFile(root + "/runs", "undoing-1", "");
    }
};

} // namespace

class CutMovesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneNameStaysOfAMoveCutBetweenItsSyncs_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QByteArrayList>("old"); // what old/ and new/ hold after the repair
        QTest::addColumn<QByteArrayList>("now");
        QTest::addColumn<int>("removed");
        const QByteArrayList one { "a.mp3" };
        const QByteArrayList none;
        QTest::newRow("a run cut: the new name stays")
            << QByteArray("a.mp3") << "both names" << "run cut" << none << one << 1;
        QTest::newRow("an undo cut: the old name stays")
            << QByteArray("a.mp3") << "both names" << "undo cut" << one << none << 1;
        QTest::newRow("no program cut: both stay, for undo")
            << QByteArray("a.mp3") << "both names" << "" << one << one << 0;
        QTest::newRow("another file at the old name is the user's")
            << QByteArray("a.mp3") << "another file at the old name" << "run cut" << one << one << 0;
        QTest::newRow("a link the user made, not of one move, stays")
            << QByteArray("a.mp3") << "both names, and a link the user made" << "run cut"
            << QByteArrayList { "mine.mp3" } << one << 1;
        QTest::newRow("a name not valid UTF-8")
            << QByteArray("\xff\xfe.mp3") << "both names" << "run cut" << none
            << QByteArrayList { "\xff\xfe.mp3" } << 1;
    }

    void oneNameStaysOfAMoveCutBetweenItsSyncs()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, state);
        QFETCH(QString, marker);
        QFETCH(QByteArrayList, old);
        QFETCH(QByteArrayList, now);
        QFETCH(int, removed);
        CutRun run;
        run.make(name.toStdString(), state, marker);
        if (QTest::currentTestFailed())
            return;
        const SettledMoves settled = settleCutMoves(run.history);
        QVERIFY(settled.unsettled.empty());
        const auto names = [&](const char* folder) {
            QByteArrayList found;
            for (const std::string& entry : testsupport::everyEntry(run.root + folder))
                found << QByteArray::fromStdString(entry);
            std::sort(found.begin(), found.end());
            return found;
        };
        QCOMPARE(names("/old"), old);
        QCOMPARE(names("/new"), now);
        QCOMPARE(settled.settled, removed);
        // The marker goes once its moves are settled; a run's record stays for undo.
        QCOMPARE(testsupport::exists(run.root + "/runs/started-999999"), false);
        QCOMPARE(testsupport::exists(run.root + "/runs/undoing-1"), false);
        QCOMPARE(int(run.history.files().size()), 1);
    }
};

QTEST_GUILESS_MAIN(CutMovesTest)
#include "tst_cutmoves.moc"
