#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::writeTagged;

// The window and the command line share one history of runs; a run the
// journal cannot record still goes on in the window, which says so.
class Form1HistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theWindowUndoesACommandLineRunAcrossFolders();
    void aRunTheJournalCannotRecordGoesOnAndSaysSo();
};

void Form1HistoryTest::theWindowUndoesACommandLineRunAcrossFolders()
{
    FormFixture f;
    QDir().mkpath(QString::fromStdString(f.music() + "/album"));
    writeTagged(f.music() + "/album", "a.mp3", "One", "Band", "Live");
    writeTagged(f.music() + "/album", "b.mp3", "Two", "Band", "Live");
    QProcess cli;
    cli.setWorkingDirectory(QString::fromStdString(f.music()));
    cli.start(ZENTRIO_CLI, { "rename", "-r", "--id3v1", "-p", "{artist}/{album}/{song}", "album" });
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(testsupport::exists(f.music() + "/album/Band/Live/One.mp3"));

    f.setConfig("Path", QByteArray::fromStdString(f.music() + "/album"));
    f.start();
    QCOMPARE(f.listedNames(), QStringList {});
    f.trigger("undo");
    QCOMPARE(f.message(),
        QString(" undo ready (a command-line run): 2 files back, 0 could not be, 2 folders made or removed"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3" }));
    QVERIFY(!testsupport::exists(f.music() + "/album/Band"));
}

void Form1HistoryTest::aRunTheJournalCannotRecordGoesOnAndSaysSo()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    testsupport::writeFile(state.toStdString().substr(0, state.lastIndexOf('/')), "state", "not a folder");
    f.start();
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.listedNames(), QStringList { "01-One.mp3" });
    QCOMPARE(f.message(),
        QString(" mp3 rename ready... without error; this run cannot be undone: the rename journal cannot be written"));
    f.trigger("undo");
    QCOMPARE(f.message(), QString(" nothing to undo"));
}

QTEST_MAIN(Form1HistoryTest)
#include "tst_form1_history.moc"
