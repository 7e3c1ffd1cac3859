#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::FormFixture;

class Form1StartupTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartUsesTheDefaultsAndScansTheStartFolder();
    void closingWritesTheSettings();
    void storedStateIsRestored();
    void aValueThatIsNoNumberStopsTheLoad();
    void aDeletedFolderLeavesAnEmptyListThatStillWorks();
    void aPositionOffEveryScreenComesBack();
    void aFolderNameThatIsNotUtf8IsRestored();
    void languagePackTranslatesTheWindow();
    void languagePackIsOnlyAppliedWhenSwitchedOnExactly();
    void aKeyMissingFromThePackEmptiesItsText();
};

void Form1StartupTest::firstStartUsesTheDefaultsAndScansTheStartFolder()
{
    FormFixture f;
    testsupport::writeTagged(f.music(), "one.mp3", "One");
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(f.music()));
    Form1& w = f.start(true);
    QDir::setCurrent(before);
    for (QCheckBox* box : { w.Check1, w.Check2, w.Check3, w.Check4 })
        QVERIFY(box->isChecked());
    QVERIFY(!w.Check5->isChecked() && !w.Check6->isChecked());
    QVERIFY(w.Option1->isChecked());
    QCOMPARE(w.Text2->text(), QString(" - "));
    QCOMPARE(w.Dir1->path(), f.music());
    QCOMPARE(f.listedNames(), QStringList { "one.mp3" });
    QCOMPARE(w.windowTitle(), QString("Zentrio and TAG editor v5.0 freeware (english version)"));
    QCOMPARE(w.ListView1->extendedStyle(), 0x24u);
    QCOMPARE(f.message(), QString());
}

void Form1StartupTest::closingWritesTheSettings()
{
    FormFixture f;
    Form1& w = f.start();
    w.Check5->setChecked(true);
    w.Text2->setText("_");
    f.close();
    QCOMPARE(f.config("o1"), QByteArray(" 1"));
    QCOMPARE(f.config("o4"), QByteArray(" 1"));
    QCOMPARE(f.config("o5"), QByteArray(" 1"));
    QCOMPARE(f.config("o6"), QByteArray(" 0"));
    QCOMPARE(f.config("chare"), QByteArray("_"));
    QCOMPARE(f.config("Path"), QByteArray::fromStdString(f.music()));
    QCOMPARE(f.config("Drive"), QByteArray("/"));
    QCOMPARE(f.config("X"), QByteArray(" ") + QByteArray::number(w.pos().x() * 15));
    QCOMPARE(f.config("Y").left(1), QByteArray(" "));
}

void Form1StartupTest::storedStateIsRestored()
{
    FormFixture f;
    f.setConfig("X", " 1500");
    f.setConfig("Y", " 750");
    f.setConfig("o1", " 0");
    f.setConfig("o6", " 1");
    f.setConfig("chare", "  _");
    Form1& w = f.start();
    QCOMPARE(w.pos(), QPoint(100, 50));
    QVERIFY(!w.Check1->isChecked());
    QVERIFY(w.Check6->isChecked());
    QCOMPARE(w.ListView1->extendedStyle(), 0x25u); // grid lines, check boxes, full-row selection
    QVERIFY(w.ListView1->showGrid());
    QCOMPARE(w.Text2->text(), QString("  _"));
    QCOMPARE(w.Option2->text(), QString("artist  _song"));
}

void Form1StartupTest::aValueThatIsNoNumberStopsTheLoad()
{
    FormFixture f;
    testsupport::writeTagged(f.music(), "a.mp3", "A");
    f.setConfig("o1", "");
    f.setConfig("o2", " 0");
    f.setConfig("chare", "xyz");
    f.setLanguage("newlanguage", "true");
    f.setLanguage("name1", "B");
    Form1& w = f.start();
    QVERIFY(w.Check1->isChecked());
    QVERIFY(w.Check2->isChecked()); // later steps did not run
    QCOMPARE(w.Text2->text(), QString(" - "));
    QVERIFY(w.Dir1->path() != f.music());
    QCOMPARE(w.windowTitle(), QString("Zentrio and TAG editor v5.0 freeware (english version)"));
    // The messages are there all the same: a later failure shows its real text.
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" first select the mp3s to rename"));
}

void Form1StartupTest::aDeletedFolderLeavesAnEmptyListThatStillWorks()
{
    FormFixture f;
    testsupport::writeTagged(f.music(), "a.mp3", "A");
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(f.music() + "/deleted"));
    Form1& w = f.start();
    QCOMPARE(w.ListView1->count(), 0);
    w.Dir1->setPath(f.music());
    QCOMPARE(f.listedNames(), QStringList { "a.mp3" });
    f.close();
    QCOMPARE(f.config("Path"), QByteArray::fromStdString(f.music()));
}

void Form1StartupTest::aPositionOffEveryScreenComesBack()
{
    FormFixture f;
    f.setConfig("X", "-9000000");
    f.setConfig("Y", " 9000000");
    Form1& w = f.start();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(screen.intersects(w.frameGeometry()));
    QVERIFY(w.Check1->isChecked());
    QCOMPARE(w.Dir1->path(), f.music()); // the rest of the load went on
}

void Form1StartupTest::aFolderNameThatIsNotUtf8IsRestored()
{
    FormFixture f;
    const std::string odd = f.music() + "/caf\xE9";
    QVERIFY(QDir().mkpath(QString::fromStdString(f.music())));
    QVERIFY(::mkdir(odd.c_str(), 0755) == 0);
    testsupport::writeTagged(odd, "x\xFF.mp3", "X");
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(odd));
    Form1& w = f.start();
    QCOMPARE(w.Dir1->path(), odd);
    QCOMPARE(w.ListView1->count(), 1);
    QCOMPARE(w.ListView1->itemName(1), std::string("x\xFF.mp3"));
    f.close();
    QCOMPARE(f.config("Path"), QByteArray::fromStdString(odd));
}

void Form1StartupTest::languagePackTranslatesTheWindow()
{
    FormFixture f;
    f.setLanguage("newlanguage", "true");
    f.setLanguage("name1", "B");
    f.setLanguage("name2", "A");
    for (const QString& key : InterfaceTexts::messageKeys())
        f.setLanguage(key, "[" + key.toUtf8() + "]");
    f.setLanguage("filename", "F");
    f.setLanguage("artist", "A");
    f.setLanguage("album", "L");
    f.setLanguage("song", "S");
    f.setLanguage("mrename", "átnevez");
    f.setLanguage(QString::fromUtf8("no õ"), "nincs \xC5\x91");
    Form1& w = f.start();
    QCOMPARE(w.windowTitle(), QString("Zentrio and TAG editor v5.0 freeware (A version - B)"));
    QCOMPARE(w.Option1->text(), QString("S"));
    QCOMPARE(w.Option2->text(), QString("A - S"));
    QCOMPARE(w.Option3->text(), QString("A - L - S"));
    QCOMPARE(w.Option4->text(), QString("L - S"));
    QCOMPARE(w.Option5->text(), QString("S(A)"));
    QCOMPARE(w.Option6->text(), QString("S by A"));
    QCOMPARE(w.Option7->text(), QString("TRACK01"));
    const QStringList headers = { "F", "A", "L", "S" };
    for (int c = 0; c < 4; ++c)
        QCOMPARE(w.ListView1->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    QCOMPARE(w.Label4[0]->text(), QString("F "));
    QCOMPARE(w.Label4[2]->text(), QString("A "));
    QCOMPARE(w.Label4[1]->text(), QString("L "));
    QCOMPARE(w.Label4[3]->text(), QString("S "));
    QCOMPARE(w.rename->title(), QString::fromUtf8("átnevez"));
    QCOMPARE(w.Check2->text(), QString::fromUtf8("nincs ő"));
    f.trigger("savingm3u");
    QCOMPARE(f.message(), QString("[msg4]"));
    // the separator rebuilds the captions from the pack's words
    w.Text2->setText("_");
    QCOMPARE(w.Option3->text(), QString("A_L_S"));
}

void Form1StartupTest::languagePackIsOnlyAppliedWhenSwitchedOnExactly()
{
    for (const QByteArray& switchValue : { QByteArray("True"), QByteArray("true "), QByteArray() }) {
        FormFixture f;
        f.setLanguage("newlanguage", switchValue);
        f.setLanguage("msg4", "nope");
        Form1& w = f.start();
        QCOMPARE(w.windowTitle(), QString("Zentrio and TAG editor v5.0 freeware (english version)"));
        f.trigger("savingm3u");
        QCOMPARE(f.message(), QString(" playlist.m3u is ready "));
    }
}

void Form1StartupTest::aKeyMissingFromThePackEmptiesItsText()
{
    FormFixture f;
    f.setLanguage("newlanguage", "true");
    f.setLanguage("numbered", "számozott");
    Form1& w = f.start();
    QCOMPARE(w.Check1->text(), QString::fromUtf8("számozott"));
    QCOMPARE(w.Check6->text(), QString());
    QCOMPARE(w.windowTitle(), QString("Zentrio and TAG editor v5.0 freeware ( version - )"));
    f.trigger("savingm3u");
    QCOMPARE(f.message(), QString());
}

QTEST_MAIN(Form1StartupTest)
#include "tst_form1_startup.moc"
