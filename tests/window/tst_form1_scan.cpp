#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::writeTagged;

class Form1ScanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsTheFolderWithTagsAndCheckBoxes();
    void anUnreadableFileEndsTheListWithTheReadError();
    void tooManyFilesEmptyTheList();
    void choosingAFolderClearsTheBoxesAndRescans();
    void refreshKeepsTheMessageOnlyWhenAskedTo();
    void aVanishedFolderKeepsTheList();
};

void Form1ScanTest::listsTheFolderWithTagsAndCheckBoxes()
{
    FormFixture f;
    writeTagged(f.music(), "b.mp3", "Song B", "Artist B", "Album B");
    testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(300)); // no tag
    testsupport::writeFile(f.music(), "n.mp3", testsupport::audio(300) + testsupport::id3v1("Nul", "Pad", "X", '\0'));
    testsupport::writeFile(f.music(), "notes.txt", "x");
    Form1& w = f.start();
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3", "n.mp3" }));
    QAbstractItemModel* model = w.ListView1->model();
    QCOMPARE(model->index(0, 1).data().toString(), QString());
    QCOMPARE(model->index(1, 1).data().toString(), QString("Artist B"));
    QCOMPARE(model->index(1, 2).data().toString(), QString("Album B"));
    QCOMPARE(model->index(1, 3).data().toString(), QString("Song B"));
    QCOMPARE(model->index(2, 2).data().toString(), QString("X"));
    QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(w.Frame4->title(), QString::fromStdString(f.music() + "/"));
    QCOMPARE(QDir::currentPath(), QString::fromStdString(f.music()));
    QCOMPARE(f.message(), QString());
}

void Form1ScanTest::anUnreadableFileEndsTheListWithTheReadError()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "A");
    testsupport::writeFile(f.music(), "x.mp3", {});
    writeTagged(f.music(), "z.mp3", "Z");
    f.start();
    QCOMPARE(f.listedNames(), QStringList { "a.mp3" });
    QCOMPARE(f.message(), QString(" read error: some mp3s unreadable or 0 byte sized"));
}

void Form1ScanTest::tooManyFilesEmptyTheList()
{
    FormFixture f;
    const QByteArray bytes = testsupport::audio(300) + testsupport::id3v1("s", "a", "l");
    for (int i = 0; i < 3001; ++i)
        testsupport::writeFile(f.music(), std::to_string(i) + ".mp3", bytes);
    Form1& w = f.start();
    QCOMPARE(w.ListView1->count(), 0);
    QCOMPARE(f.message(), QString(" read error: some mp3s unreadable or 0 byte sized"));
}

void Form1ScanTest::choosingAFolderClearsTheBoxesAndRescans()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "A");
    const std::string other = f.music() + "/other";
    QVERIFY(::mkdir(other.c_str(), 0755) == 0);
    writeTagged(other, "b.mp3", "B");
    writeTagged(other, "c.mp3", "C");
    Form1& w = f.start();
    f.clickRow(1);
    QCOMPARE(w.Text1->text(), QString("a.mp3"));
    QVERIFY(w.Command1->isEnabled());
    // open "other" in the folder list with a double click
    QListWidgetItem* entry = w.Dir1->findItems("other", Qt::MatchEndsWith).value(0);
    QVERIFY(entry);
    const QPoint where = w.Dir1->visualItemRect(entry).center();
    QTest::mouseClick(w.Dir1->viewport(), Qt::LeftButton, {}, where); // a view takes a double click after a press
    QTest::mouseDClick(w.Dir1->viewport(), Qt::LeftButton, {}, where);
    QCOMPARE(w.Dir1->path(), other);
    QCOMPARE(f.listedNames(), (QStringList { "b.mp3", "c.mp3" }));
    for (QLineEdit* box : { w.Text1, w.Text3, w.Text4, w.Text5, w.Text6 })
        QVERIFY(box->text().isEmpty());
    QVERIFY(!w.Command1->isEnabled());
    QCOMPARE(w.Frame4->title(), QString::fromStdString(other + "/"));
}

void Form1ScanTest::refreshKeepsTheMessageOnlyWhenAskedTo()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "A");
    Form1& w = f.start();
    writeTagged(f.music(), "b.mp3", "B");
    w.Label11->setText(" earlier");
    w.frissites(0);
    QCOMPARE(f.message(), QString(" earlier"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3" }));
    writeTagged(f.music(), "c.mp3", "C");
    f.trigger("merefresh");
    QCOMPARE(f.message(), QString());
    QCOMPARE(w.ListView1->count(), 3);
}

void Form1ScanTest::aVanishedFolderKeepsTheList()
{
    FormFixture f;
    const std::string sub = f.music() + "/sub";
    QVERIFY(::mkdir(sub.c_str(), 0755) == 0);
    writeTagged(sub, "a.mp3", "A");
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(sub));
    Form1& w = f.start();
    QCOMPARE(w.ListView1->count(), 1);
    QVERIFY(QDir(QString::fromStdString(sub)).removeRecursively());
    f.trigger("merefresh");
    QCOMPARE(f.message(), QString(" read error: some mp3s unreadable or 0 byte sized"));
    QCOMPARE(w.ListView1->count(), 1);
}

QTEST_MAIN(Form1ScanTest)
#include "tst_form1_scan.moc"
