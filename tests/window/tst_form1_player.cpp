#include "platform/filelauncher.h"
#include "platform/filelistview.h"
#include "platform/fs/filenames.h"
#include "popup/menuform.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTest>
#include <QUrl>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::writeTagged;

namespace {

// Right-clicks the list at a row (0: below the last row), and when the
// pop-up menu opens, records its captions and chooses the item `downs`
// arrow presses away (0: closes it with Escape). Gives the captions seen.
QStringList rightClick(FormFixture& f, int row, int downs)
{
    FileListView* list = f.form().ListView1;
    QPoint where = row ? list->visualRect(list->model()->index(row - 1, 1)).center()
                       : QPoint(10, list->viewport()->height() - 5);
    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions())
            captions << action->text() + (action->isEnabled() ? "" : " (disabled)");
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, downs ? Qt::Key_Return : Qt::Key_Escape);
    });
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, where);
    return captions;
}

constexpr int kStartPlaying = 1;
constexpr int kOkToRename = 2;

} // namespace

class Form1PlayerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void remoteButtonsPostTheirCommandNumbers();
    void remoteWithoutPlayerDoesNothing();
    void playButtonLaunchesTheFileAsOneArgument();
    void playButtonReportsWhatCannotStart();
    void desktopLauncherKeepsTheNameByteForByte();
    void onlyTheRightButtonOpensThePopup();
    void popupRenamesTheFileItShows();
    void popupRenameNeverReplacesAFile();
    void popupWithoutNewNameRenamesNothingButRescans();
    void popupStartsPlayingWithTheBareName();
};

void Form1PlayerTest::remoteButtonsPostTheirCommandNumbers()
{
    FormFixture f;
    Form1& w = f.start();
    for (QPushButton* b : { w.Command7, w.Command8, w.Command9, w.Command10 })
        QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(f.messaging.posted.size(), size_t(4));
    const std::uintptr_t numbers[] = { 40046, 40044, 40048, 40022 };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(f.messaging.posted[i].message, 0x0111u);
        QCOMPARE(f.messaging.posted[i].wParam, numbers[i]);
        QCOMPARE(f.messaging.posted[i].lParam, std::intptr_t(0));
    }
    QCOMPARE(f.messaging.lookedUp.front(), QString("Winamp v1.x"));
}

void Form1PlayerTest::remoteWithoutPlayerDoesNothing()
{
    FormFixture f;
    f.messaging.playerRunning = false;
    Form1& w = f.start();
    w.Label11->setText(" before");
    for (QPushButton* b : { w.Command7, w.Command8, w.Command9, w.Command10 })
        QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(f.messaging.posted.empty());
    QCOMPARE(f.message(), QString(" before"));
}

void Form1PlayerTest::playButtonLaunchesTheFileAsOneArgument()
{
    FormFixture f;
    const std::string name = "it's \"a\" $(touch pwned); b & c.mp3";
    writeTagged(f.music(), name, "S");
    Form1& w = f.start();
    f.clickRow(1);
    QTest::mouseClick(w.Command6, Qt::LeftButton);
    QCOMPARE(f.launcher.opened, std::vector<std::string> { f.music() + "/" + name });
    QCOMPARE(f.message(), " playing : " + QString::fromStdString(name));
}

void Form1PlayerTest::playButtonReportsWhatCannotStart()
{
    FormFixture f;
    Form1& w = f.start();
    QTest::mouseClick(w.Command6, Qt::LeftButton); // empty list
    QCOMPARE(f.message(), QString(" error: playing mp3"));
    QVERIFY(f.launcher.opened.empty());
    writeTagged(f.music(), "a.mp3", "S");
    f.trigger("merefresh");
    f.clickRow(1);
    f.launcher.succeeds = false;
    QTest::mouseClick(w.Command6, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" error: playing mp3"));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

void Form1PlayerTest::desktopLauncherKeepsTheNameByteForByte()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    const std::string path = "/music/caf\xE9 & \"x\" $y;z#1?.mp3";
    QVERIFY(DesktopFileLauncher().open(path));
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(catcher.urls.size(), 1);
    const QUrl url = catcher.urls.first();
    QVERIFY(url.isLocalFile());
    QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString(), path);
}

void Form1PlayerTest::onlyTheRightButtonOpensThePopup()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "S");
    Form1& w = f.start();
    FileListView* list = w.ListView1;
    const QPoint row = list->visualRect(list->model()->index(0, 1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseClick(list->viewport(), Qt::MiddleButton, {}, row);
    QVERIFY(!w.menuForm()); // never made, so never opened
    const QStringList captions = rightClick(f, 0, 0); // below the rows: the current item's menu
    QCOMPARE(captions, (QStringList { "a.mp3 (disabled)", "start playing", "01-S.mp3 (disabled)", "OK to rename" }));
}

void Form1PlayerTest::popupRenamesTheFileItShows()
{
    FormFixture f;
    for (const char* name : { "1.mp3", "2.mp3", "3.mp3", "4.mp3" })
        writeTagged(f.music(), name, "x");
    writeTagged(f.music(), "Rock & Roll.mp3", "Rock & Roll", "AC/DC");
    Form1& w = f.start();
    f.clickRow(1); // another row current: the right click makes the fifth current
    const QStringList captions = rightClick(f, 5, kOkToRename);
    QCOMPARE(captions.first(), QString("Rock && Roll.mp3 (disabled)"));
    QCOMPARE(captions.at(2), QString("05-Rock n Roll.mp3 (disabled)"));
    QVERIFY(testsupport::exists(f.music() + "/05-Rock n Roll.mp3"));
    QVERIFY(!testsupport::exists(f.music() + "/Rock & Roll.mp3"));
    QVERIFY(f.listedNames().contains("05-Rock n Roll.mp3")); // rescanned
    QVERIFY(!w.ListView1->isChecked(4));
    QCOMPARE(f.message(), QString());
}

void Form1PlayerTest::popupRenameNeverReplacesAFile()
{
    FormFixture f;
    writeTagged(f.music(), "a.mp3", "Song");
    Form1& w = f.start();
    QTest::mouseClick(w.Check1, Qt::LeftButton); // unnumbered: the new name is Song.mp3
    testsupport::writeFile(f.music(), "Song.mp3", "precious");
    rightClick(f, 1, kOkToRename);
    QCOMPARE(testsupport::readFile(f.music() + "/Song.mp3"), QByteArray("precious"));
    QVERIFY(testsupport::exists(f.music() + "/a.mp3"));
    QCOMPARE(f.listedNames(), QStringList { "a.mp3" }); // not rescanned
    QCOMPARE(f.message(), QString(" error: some mp3s got the same name, select numbered option"));
}

void Form1PlayerTest::popupWithoutNewNameRenamesNothingButRescans()
{
    FormFixture f;
    testsupport::writeFile(f.music(), "a.mp3", testsupport::audio(300));
    f.start();
    writeTagged(f.music(), "b.mp3", "B");
    const QStringList captions = rightClick(f, 1, kOkToRename);
    QCOMPARE(captions.at(2), QString(" (disabled)"));
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3" }));
}

void Form1PlayerTest::popupStartsPlayingWithTheBareName()
{
    FormFixture f;
    writeTagged(f.music(), "a b.mp3", "S");
    f.start();
    rightClick(f, 1, kStartPlaying);
    QCOMPARE(f.launcher.opened, std::vector<std::string> { f.music() + "/a b.mp3" });
    QCOMPARE(f.message(), QString("a b.mp3"));
    f.launcher.succeeds = false;
    rightClick(f, 1, kStartPlaying);
    QCOMPARE(f.message(), QString(" error: playing mp3"));
}

QTEST_MAIN(Form1PlayerTest)
#include "tst_form1_player.moc"
