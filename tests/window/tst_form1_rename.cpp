#include "platform/filelistview.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::readFile;
using testsupport::writeTagged;

class Form1RenameTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingCheckedChangesNothing();
    void checkedFilesWithoutTagsAreRescannedAndListed();
    void aFileWithoutTagKeepsItsNameAndItsNumber();
    void theRunNumbersCheckedFilesOnly();
    void twoFilesWithTheSameNameStopTheRun();
    void anExistingFileIsNeverReplaced();
    void aShortFileStopsTheRunWithTheWriteError();
    void checkMarkCommands();
    void playlistMenuWritesOrKeeps();
};

void Form1RenameTest::nothingCheckedChangesNothing()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "A");
    f.start();
    writeTagged(f.music(), "b.mp3", "B");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" first select the mp3s to rename"));
    QCOMPARE(f.listedNames(), QStringList { "a.mp3" }); // not rescanned
    QVERIFY(!testsupport::exists(f.music() + "/playlist.m3u"));
}

void Form1RenameTest::checkedFilesWithoutTagsAreRescannedAndListed()
{
    FormFixture f;
    testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(300));
    testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(300));
    f.start();
    f.trigger("selectall");
    testsupport::writeFile(f.music(), "c.mp3", testsupport::audio(300));
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" these mp3s dont have any tag"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3", "c.mp3" }));
    QCOMPARE(readFile(f.music() + "/playlist.m3u"), QByteArray("a.mp3\r\nb.mp3\r\nc.mp3\r\n"));
}

void Form1RenameTest::aFileWithoutTagKeepsItsNameAndItsNumber()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(300));
    writeTagged(f.music(), "c.mp3", "Three");
    Form1& w = f.start();
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" mp3 rename ready... without error"));
    QCOMPARE(f.listedNames(), (QStringList { "01-One.mp3", "03-Three.mp3", "b.mp3" }));
    QCOMPARE(readFile(f.music() + "/playlist.m3u"), QByteArray("01-One.mp3\r\n03-Three.mp3\r\nb.mp3\r\n"));
    QVERIFY(!w.ListView1->isChecked(0)); // a rebuilt list has no check marks
}

void Form1RenameTest::theRunNumbersCheckedFilesOnly()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    writeTagged(f.music(), "b.mp3", "Two");
    writeTagged(f.music(), "c.mp3", "Three");
    Form1& w = f.start();
    QTest::mouseClick(w.Check4, Qt::LeftButton); // no playlist this time
    f.clickRow(3);
    QCOMPARE(w.Text6->text(), QString("03-Three.mp3")); // the preview numbers by position
    f.check(0, true);
    f.check(2, true);
    f.trigger("selected");
    QCOMPARE(f.listedNames(), (QStringList { "01-One.mp3", "02-Three.mp3", "b.mp3" }));
    QVERIFY(!testsupport::exists(f.music() + "/playlist.m3u"));
}

void Form1RenameTest::twoFilesWithTheSameNameStopTheRun()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Same", "X");
    writeTagged(f.music(), "b.mp3", "Same", "X");
    writeTagged(f.music(), "c.mp3", "Other", "X");
    Form1& w = f.start();
    QTest::mouseClick(w.Check1, Qt::LeftButton);
    QTest::mouseClick(w.Option2, Qt::LeftButton);
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" error: some mp3s got the same name, select numbered option"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3", "c.mp3" })); // not rescanned
    QVERIFY(testsupport::exists(f.music() + "/X - Same.mp3"));
    QVERIFY(testsupport::exists(f.music() + "/b.mp3"));
    QVERIFY(testsupport::exists(f.music() + "/c.mp3"));
    QVERIFY(!testsupport::exists(f.music() + "/playlist.m3u"));
}

void Form1RenameTest::anExistingFileIsNeverReplaced()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Taken");
    Form1& w = f.start();
    QTest::mouseClick(w.Check1, Qt::LeftButton);
    const QByteArray precious = "precious bytes";
    testsupport::writeFile(f.music(), "Taken.mp3", precious); // appeared after the scan
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" error: some mp3s got the same name, select numbered option"));
    QCOMPARE(readFile(f.music() + "/Taken.mp3"), precious);
    QVERIFY(testsupport::exists(f.music() + "/a.mp3"));
}

void Form1RenameTest::aShortFileStopsTheRunWithTheWriteError()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "One");
    writeTagged(f.music(), "b.mp3", "Two");
    writeTagged(f.music(), "c.mp3", "Three");
    f.start();
    testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(256));
    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" write error: drive or mp3 not ready writting"));
    QVERIFY(testsupport::exists(f.music() + "/01-One.mp3"));
    QVERIFY(testsupport::exists(f.music() + "/c.mp3"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3", "c.mp3" }));
}

void Form1RenameTest::checkMarkCommands()
{
    FormFixture f;
    Form1& w = f.start();
    f.trigger("invert"); // an empty list: nothing to do
    QCOMPARE(w.ListView1->count(), 0);
    for (const char* name : { "1.mp3", "2.mp3", "3.mp3", "4.mp3" })
        writeTagged(f.music(), name, "s");
    f.trigger("merefresh");
    f.check(0, true);
    f.check(2, true);
    const auto marks = [&] {
        QList<bool> m;
        for (int i = 0; i < w.ListView1->count(); ++i)
            m << w.ListView1->isChecked(i);
        return m;
    };
    f.trigger("invert");
    QCOMPARE(marks(), (QList<bool> { false, true, false, true }));
    f.trigger("invert");
    QCOMPARE(marks(), (QList<bool> { true, false, true, false }));
    w.ListView1->setItemState(1, 0, 0xF000); // a row without a check image counts as unchecked
    f.trigger("invert");
    QCOMPARE(marks(), (QList<bool> { false, true, false, true }));
    f.trigger("selectall");
    QCOMPARE(marks(), (QList<bool> { true, true, true, true }));
    f.trigger("unselect");
    QCOMPARE(marks(), (QList<bool> { false, false, false, false }));
    QCOMPARE(w.ListView1->itemState(99, 0xF000), 0u); // no such row
}

void Form1RenameTest::playlistMenuWritesOrKeeps()
{
    FormFixture f;
    writeTagged(f.music(), "b.mp3", "B");
    writeTagged(f.music(), "A.mp3", "A");
    f.start();
    f.trigger("savingm3u");
    QCOMPARE(f.message(), QString(" playlist.m3u is ready "));
    QCOMPARE(readFile(f.music() + "/playlist.m3u"), QByteArray("A.mp3\r\nb.mp3\r\n"));
    for (int i = 0; i < 3000; ++i)
        testsupport::writeFile(f.music(), "x" + std::to_string(i) + ".mp3", "");
    f.trigger("savingm3u");
    QCOMPARE(f.message(), QString(" drive error: drive not ready to write\""));
    QCOMPARE(readFile(f.music() + "/playlist.m3u"), QByteArray("A.mp3\r\nb.mp3\r\n"));
}

QTEST_MAIN(Form1RenameTest)
#include "tst_form1_rename.moc"
