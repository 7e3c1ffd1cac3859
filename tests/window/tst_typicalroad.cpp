#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::readFile;
using testsupport::writeTagged;

// The road a user takes, on a real X server: open a folder, look at a file's
// new name, check all files, rename them, and find the result on disk, in
// the list, in the playlist and, after closing, in the settings.
class TypicalRoadTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void chooseCheckRenameAndClose();

private:
    void chooseFromMenu(QMenu* menu, QAction* item);
};

void TypicalRoadTest::initTestCase()
{
    if (qEnvironmentVariableIsSet("ZENTRIO_NO_X"))
        QSKIP(qPrintable("end-to-end test skipped: " + qEnvironmentVariable("ZENTRIO_NO_X")));
    QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
}

// Opens a menu of the menu bar with the mouse and clicks one of its items.
void TypicalRoadTest::chooseFromMenu(QMenu* menu, QAction* item)
{
    auto* window = qobject_cast<QMainWindow*>(QApplication::activeWindow());
    QVERIFY(window);
    QMenuBar* menuBar = window->menuBar();
    QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(menu->menuAction()).center());
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QTRY_VERIFY(!menu->isVisible());
}

void TypicalRoadTest::chooseCheckRenameAndClose()
{
    testsupport::FormFixture f;
    const std::string music = f.music() + "/music";
    QVERIFY(::mkdir(music.c_str(), 0755) == 0);
    writeTagged(music, "track1.mp3", "Yesterday", "The Beatles", "Help!");
    writeTagged(music, "track2.mp3", "Back in Black", "AC/DC", "Back in Black");
    writeTagged(music, "track3.mp3", "The Boxer", "Simon & Garfunkel", "Bridge");
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(f.music()));
    Form1& w = f.start();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(w.ListView1->count(), 0);

    // open the music folder in the folder list
    QListWidgetItem* entry = w.Dir1->findItems("music", Qt::MatchEndsWith).value(0);
    QVERIFY(entry);
    const QPoint where = w.Dir1->visualItemRect(entry).center();
    QTest::mouseClick(w.Dir1->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(w.Dir1->viewport(), Qt::LeftButton, {}, where);
    QTRY_COMPARE(w.ListView1->count(), 3);

    // a file's new name
    f.clickRow(2);
    QCOMPARE(w.Text6->text(), QString("02-Back in Black.mp3"));

    // check everything and rename
    chooseFromMenu(w.meselect, w.selectall);
    for (int i = 0; i < 3; ++i)
        QVERIFY(w.ListView1->isChecked(i));
    chooseFromMenu(w.rename, w.selected);
    QCOMPARE(f.message(), QString(" mp3 rename ready... without error"));
    const QStringList renamed { "01-Yesterday.mp3", "02-Back in Black.mp3", "03-The Boxer.mp3" };
    QCOMPARE(f.listedNames(), renamed);
    for (const QString& name : renamed)
        QVERIFY(testsupport::exists(music + "/" + name.toStdString()));
    QVERIFY(!testsupport::exists(music + "/track1.mp3"));
    QCOMPARE(readFile(music + "/playlist.m3u"),
        QByteArray("01-Yesterday.mp3\r\n02-Back in Black.mp3\r\n03-The Boxer.mp3\r\n"));

    // close the window: the settings keep the folder and options
    f.close();
    QCOMPARE(f.config("Path"), QByteArray::fromStdString(music));
    QCOMPARE(f.config("o1"), QByteArray(" 1"));
    QCOMPARE(f.config("chare"), QByteArray(" - "));
}

QTEST_MAIN(TypicalRoadTest)
#include "tst_typicalroad.moc"
