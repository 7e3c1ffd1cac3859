#include "platform/filelistview.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::writeTagged;

class Form1PreviewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clickingARowShowsItsTagAndNewName();
    void everyOptionRecomposes();
    void separatorRebuildsCaptionsAndName();
    void rowLinesSwitchOnlyTheGrid();
    void anEmptyListLeavesTheBoxes();
    void aFileWithoutMarkerEmptiesTheTagBoxes();
    void aShortFileShowsTheReadError();
    void copyButtonsCarryFieldsFromThePreviousFile();
    void savingWritesTheBoxesAndKeepsTheRow();
    void aFailedSaveChangesNothing();
};

void Form1PreviewTest::clickingARowShowsItsTagAndNewName()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song A", "Artist A", "Album A");
    writeTagged(f.music(), "b.mp3", "Song B", "AC/DC", "Album B");
    Form1& w = f.start();
    QVERIFY(!w.Command1->isEnabled());
    f.clickRow(2);
    QCOMPARE(w.Text1->text(), QString("b.mp3"));
    QCOMPARE(w.Text5->text(), QString("Song B"));
    QCOMPARE(w.Text3->text(), QString("AC/DC"));
    QCOMPARE(w.Text4->text(), QString("Album B"));
    QCOMPARE(w.Text6->text(), QString("02-Song B.mp3"));
    QVERIFY(w.Command1->isEnabled());
}

void Form1PreviewTest::everyOptionRecomposes()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", QString::fromUtf8("Dal õ").toLatin1(), "AC/DC", "Rock & Roll");
    Form1& w = f.start();
    f.clickRow(1);
    QCOMPARE(w.Text6->text(), QString("01-Dal o.mp3"));
    QTest::mouseClick(w.Option3, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString("01-AC_DC - Rock n Roll - Dal o.mp3"));
    QTest::mouseClick(w.Check1, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString("AC_DC - Rock n Roll - Dal o.mp3"));
    QTest::mouseClick(w.Check3, Qt::LeftButton); // "no accent" off: "no õ" still folds to ö
    QCOMPARE(w.Text6->text(), QString::fromUtf8("AC_DC - Rock n Roll - Dal ö.mp3"));
    QTest::mouseClick(w.Check2, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString::fromUtf8("AC_DC - Rock n Roll - Dal õ.mp3"));
    QTest::mouseClick(w.Check5, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString::fromUtf8("AC_DC_-_Rock_n_Roll_-_Dal_õ.mp3"));
    QTest::mouseClick(w.Option7, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString("TRACK01.mp3"));
    // "saving m3u " shapes nothing: the new name stays even when the box differs
    w.Text6->setText("untouched");
    QTest::mouseClick(w.Check4, Qt::LeftButton);
    QCOMPARE(w.Text6->text(), QString("untouched"));
}

void Form1PreviewTest::separatorRebuildsCaptionsAndName()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "S", "A", "L");
    Form1& w = f.start();
    f.clickRow(1);
    QTest::mouseClick(w.Option2, Qt::LeftButton);
    w.Text2->selectAll();
    QTest::keyClicks(w.Text2, "_");
    QCOMPARE(w.Option2->text(), QString("artist_song"));
    QCOMPARE(w.Option3->text(), QString("artist_album_song"));
    QCOMPARE(w.Option4->text(), QString("album_song"));
    QCOMPARE(w.Option5->text(), QString("song (artist)"));
    QCOMPARE(w.Text6->text(), QString("01-A_S.mp3"));
    QTest::keyClicks(w.Text2, "+=#"); // at most three characters
    QCOMPARE(w.Text2->text(), QString("_+="));
    w.Text2->clear();
    QCOMPARE(w.Option3->text(), QString("artistalbumsong"));
    QCOMPARE(w.Text6->text(), QString("01-AS.mp3"));
}

void Form1PreviewTest::rowLinesSwitchOnlyTheGrid()
{
    FormFixture f;
    Form1& w = f.start();
    QTest::mouseClick(w.Check6, Qt::LeftButton);
    QCOMPARE(w.ListView1->extendedStyle(), 0x25u);
    QVERIFY(w.ListView1->showGrid());
    QTest::mouseClick(w.Check6, Qt::LeftButton);
    QCOMPARE(w.ListView1->extendedStyle(), 0x24u);
    QVERIFY(!w.ListView1->showGrid());
}

void Form1PreviewTest::anEmptyListLeavesTheBoxes()
{
    FormFixture f;
    Form1& w = f.start();
    w.Text3->setText("typed");
    w.Label11->setText(" old");
    QTest::mouseClick(w.Option2, Qt::LeftButton);
    QCOMPARE(w.Text3->text(), QString("typed"));
    QCOMPARE(f.message(), QString());

    // rows but none current yet (right after a scan): nothing to show, and no error
    writeTagged(f.music(), "a.mp3", "Song");
    f.trigger("merefresh");
    QTest::mouseClick(w.Option3, Qt::LeftButton);
    QCOMPARE(w.Text3->text(), QString("typed"));
    QCOMPARE(f.message(), QString());
}

void Form1PreviewTest::aFileWithoutMarkerEmptiesTheTagBoxes()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song", "Artist", "Album");
    testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(400));
    Form1& w = f.start();
    f.clickRow(1);
    QTest::mouseClick(w.Option7, Qt::LeftButton);
    f.clickRow(2);
    QCOMPARE(w.Text1->text(), QString("b.mp3"));
    for (QLineEdit* box : { w.Text3, w.Text4, w.Text5, w.Text6 })
        QCOMPARE(box->text(), QString());
}

void Form1PreviewTest::aShortFileShowsTheReadError()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song");
    Form1& w = f.start();
    testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(256)); // shrank since the scan
    f.clickRow(1);
    QCOMPARE(f.message(), QString(" drive error: drive not ready to read"));
    QCOMPARE(w.Text1->text(), QString("a.mp3"));
}

void Form1PreviewTest::copyButtonsCarryFieldsFromThePreviousFile()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song A", "Artist A", "Album A");
    writeTagged(f.music(), "b.mp3", "Song B", "", "");
    Form1& w = f.start();
    f.clickRow(1);
    w.Text3->setText("Edited Artist");
    f.clickRow(2);
    QCOMPARE(w.Text3->text(), QString());
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(w.Text3->text(), QString("Edited Artist"));
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QCOMPARE(w.Text4->text(), QString("Album A"));
    QTest::mouseClick(w.Command4, Qt::LeftButton);
    QCOMPARE(w.Text5->text(), QString("Song A")); // the previous file's, not "Song B"
    QCOMPARE(w.Text6->text(), QString("02-Song B.mp3")); // copying does not recompose
}

void Form1PreviewTest::savingWritesTheBoxesAndKeepsTheRow()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song A");
    const std::string b = testsupport::writeFile(f.music(), "b.mp3", testsupport::audio(400));
    Form1& w = f.start();
    f.clickRow(2);
    w.Text5->setText("New Song");
    w.Text3->setText("New Artist");
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(testsupport::readFile(b).size(), 400 + 128);
    QCOMPARE(w.ListView1->model()->index(1, 3).data().toString(), QString("New Song"));
    QCOMPARE(w.ListView1->currentIndex(), 2);
    QCOMPARE(f.message(), QString());
    w.Text4->setText("Album");
    QTest::mouseClick(w.Command1, Qt::LeftButton); // the same file again, in place
    QCOMPARE(testsupport::readFile(b).size(), 400 + 128);
    QCOMPARE(w.ListView1->model()->index(1, 2).data().toString(), QString("Album"));
    QCOMPARE(testsupport::readFile(b).left(400), testsupport::audio(400));
    QCOMPARE(testsupport::readFile(b).mid(400 + 93, 4), QByteArray::number(QDate::currentDate().year()));
}

void Form1PreviewTest::aFailedSaveChangesNothing()
{
    FormFixture f;
    const std::string a = testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(300));
    Form1& w = f.start();
    f.clickRow(1);
    testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(200));
    w.Text5->setText("x");
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" write error: mp3 TAG save is unable"));
    QCOMPARE(testsupport::readFile(a), testsupport::audio(200));
    ::unlink(a.c_str());
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" write error: mp3 TAG save is unable"));
    QVERIFY(!testsupport::exists(a)); // never created
}

QTEST_MAIN(Form1PreviewTest)
#include "tst_form1_preview.moc"
