#include "platform/filelistview.h"
#include "rename/history/journalfolder.h"
#include "rename/runpreview.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::writeTagged;

namespace {

QStringList previewColumn(const RunPreview& preview, int column)
{
    QStringList texts;
    for (int i = 0; i < preview.rows->topLevelItemCount(); ++i)
        texts << preview.rows->topLevelItem(i)->text(column);
    return texts;
}

} // namespace

class Form1UndoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thePreviewShowsWhatTheRunThenDoes();
    void undoAfterARestartBringsTheOldNamesBack();
    void aDamagedJournalIsReportedAndRenamesGoOn();
    void aRunStoppedEarlyRecordsOnlyWhatItRenamed();
};

void Form1UndoTest::thePreviewShowsWhatTheRunThenDoes()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(300));
    writeTagged(f.music(), "c.mp3", "Three");
    writeTagged(f.music(), "d.mp3", "Four");
    writeTagged(f.music(), "03-Three.mp3", "Taken"); // holds c's new name, not checked
    Form1& form = f.start();

    f.trigger("preview");
    QVERIFY(form.runPreview());
    QCOMPARE(form.runPreview()->summary->text(), QString("no row is checked"));
    form.runPreview()->closeButton->click();

    for (int position : { 1, 2, 3, 4 }) // the four files after 03-Three.mp3
        f.check(position, true);
    f.trigger("preview");
    RunPreview* preview = form.runPreview();
    QCOMPARE(previewColumn(*preview, 0), (QStringList { "a.mp3", "b.mp3", "c.mp3", "d.mp3" }));
    QCOMPARE(previewColumn(*preview, 1), (QStringList { "01-One.mp3", "", "03-Three.mp3", "04-Four.mp3" }));
    QCOMPARE(previewColumn(*preview, 2),
        (QStringList { "rename", "skip (no tag)", "stop: name taken", "not reached" }));
    QCOMPARE(preview->summary->text(), QString("rename: 1, skip (no tag): 1, stop: name taken: 1, not reached: 1"));

    preview->runButton->click();
    QCOMPARE(f.message(), QString(" error: some mp3s got the same name, select numbered option"));
    QVERIFY(testsupport::exists(f.music() + "/01-One.mp3"));
    QVERIFY(testsupport::exists(f.music() + "/c.mp3"));
    QVERIFY(testsupport::exists(f.music() + "/d.mp3"));
}

void Form1UndoTest::undoAfterARestartBringsTheOldNamesBack()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    writeTagged(f.music(), "b.mp3", "Two");
    f.start();
    f.trigger("undo");
    QCOMPARE(f.message(), QString(" nothing to undo"));
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.listedNames(), (QStringList { "01-One.mp3", "02-Two.mp3" }));
    f.close();

    f.start();
    f.trigger("undo");
    QCOMPARE(f.message(), QString(" undo ready: 2 renamed back, 0 could not be"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3" }));
    QCOMPARE(testsupport::readFile(f.music() + "/playlist.m3u"), QByteArray("a.mp3\r\nb.mp3\r\n"));
    f.trigger("undo");
    QCOMPARE(f.message(), QString(" nothing to undo"));
}

void Form1UndoTest::aDamagedJournalIsReportedAndRenamesGoOn()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    QDir().mkpath(state + "/zentrio");
    testsupport::writeFile(state.toStdString() + "/zentrio", "journal", "not a journal");
    f.start();
    f.trigger("undo");
    QCOMPARE(f.message(), QString(" journal error: the rename journal is unreadable or damaged"));
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.listedNames(), QStringList { "01-One.mp3" });
    f.trigger("undo");
    QCOMPARE(f.listedNames(), QStringList { "a.mp3" });
}

// The record's end counts the renames made, not those planned: undo must
// not look for files the run never reached.
void Form1UndoTest::aRunStoppedEarlyRecordsOnlyWhatItRenamed()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    writeTagged(f.music(), "b.mp3", "Two");
    writeTagged(f.music(), "c.mp3", "Three");
    writeTagged(f.music(), "02-Two.mp3", "Taken");
    f.start();
    for (int position : { 1, 2, 3 }) // a, b, c after 02-Two.mp3
        f.check(position, true);
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" error: some mp3s got the same name, select numbered option"));
    const auto summary = readRunSummary(RunHistory::standard().files().back().path);
    QVERIFY(summary);
    QCOMPARE(summary->moves, std::size_t(3));
    QCOMPARE(summary->progress.done, std::size_t(1));
    QCOMPARE(summary->progress.end, std::optional(RunEnd::Failed));
}

QTEST_MAIN(Form1UndoTest)
#include "tst_form1_undo.moc"
