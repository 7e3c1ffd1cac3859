#include "about/frmabout.h"
#include "about/mdlregistry.h"
#include "platform/filelistview.h"
#include "testsupport/formfixture.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSysInfo>
#include <QTest>

using namespace zentrio;
using testsupport::FakeRegistry;
using testsupport::FormFixture;

namespace {

const QString kComputerName = "System\\CurrentControlset\\Control\\ComputerName\\ComputerName\\";

FakeRegistry::Value text(const QByteArray& s) { return { Registry::kString, s + '\0' }; }

} // namespace

class AboutTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void languageLine_data();
    void languageLine();
    void positionOverTheMainWindow_data();
    void positionOverTheMainWindow();
    void computerNameOrNothing();
    void registryStatusCodes();
    void offDeletesTheShortcutArrowOnce();
    void desktopRegistryAnswersTheHostName();
    void aboutStaysOpenWhenTheMainWindowCloses();
    void mainWindowControlsStandWhereDesigned_data();
    void mainWindowControlsStandWhereDesigned();
};

void AboutTest::languageLine_data()
{
    QTest::addColumn<QByteArray>("newlanguage");
    QTest::addColumn<QByteArray>("name1");
    QTest::addColumn<QByteArray>("name2");
    QTest::addColumn<QString>("line");
    QTest::newRow("no pack") << QByteArray("<none>") << QByteArray() << QByteArray() << "freeware (english)";
    QTest::newRow("True") << QByteArray("True") << QByteArray("magyar") << QByteArray("x") << "freeware (english)";
    QTest::newRow("pack") << QByteArray("true") << QByteArray("magyar") << QByteArray("hu") << "freeware (magyar - hu)";
    QTest::newRow("empty name2") << QByteArray("true") << QByteArray("magyar") << QByteArray() << "freeware (magyar - )";
}

void AboutTest::languageLine()
{
    QFETCH(QByteArray, newlanguage);
    FormFixture f;
    if (newlanguage != "<none>")
        f.setLanguage("newlanguage", newlanguage);
    QFETCH(QByteArray, name1);
    QFETCH(QByteArray, name2);
    f.setLanguage("name1", name1);
    f.setLanguage("name2", name2);
    Form1& w = f.start();
    f.trigger("about");
    QVERIFY(w.aboutWindow());
    QTEST(w.aboutWindow()->Label1_1->text(), "line");
}

void AboutTest::positionOverTheMainWindow_data()
{
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("top 0") << QRect(0, 0, 12000, 6000) << QPoint(6000 - 2000, 1500);
    QTest::newRow("top 1000") << QRect(1000, 1000, 12000, 6000) << QPoint(7000 - 2000, 2000);
    QTest::newRow("odd sum drops the fraction") << QRect(0, 1, 12000, 6000) << QPoint(4000, 1500);
}

void AboutTest::positionOverTheMainWindow()
{
    QFETCH(QRect, main);
    QTEST(aboutPosition(main, QSize(4000, 3000)), "expected");
}

void AboutTest::computerNameOrNothing()
{
    FormFixture f;
    f.registry.keys[{ Registry::Hive::LocalMachine, kComputerName }]["ComputerName"] = text("STUDIO");
    Form1& w = f.start();
    f.trigger("about");
    QCOMPARE(w.aboutWindow()->Label3->text(), QString("STUDIO"));
    QCOMPARE(f.registry.lastAccess, 0x3Fu);
    QCOMPARE(f.registry.closed, f.registry.opened);
    w.aboutWindow()->cmdOK->click();
    QTRY_VERIFY(!w.aboutWindow());

    f.registry.openFails = Registry::kAccessDenied; // the key cannot be opened with the rights asked for
    f.trigger("about");
    QCOMPARE(w.aboutWindow()->Label3->text(), QString());
}

void AboutTest::registryStatusCodes()
{
    FakeRegistry r;
    auto& values = r.keys[{ Registry::Hive::LocalMachine, "k" }];
    values["s"] = text("abc");
    values["n"] = { Registry::kDword, QByteArray("\x2A\0\0\0", 4) };
    values["b"] = { 3, QByteArray("bin") };
    Registry::Key key = 0;
    QCOMPARE(r.openKey(Registry::Hive::LocalMachine, "k", mdlRegistry::kAccess, &key), 0L);
    QVariant value("untouched");
    QCOMPARE(mdlRegistry::queryRegistryValue(r, key, "s", value), 0L);
    QCOMPARE(value.toString(), QString("abc") + QChar(0)); // the terminating NUL is part of it
    QCOMPARE(mdlRegistry::queryRegistryValue(r, key, "n", value), 0L);
    QCOMPARE(value.toUInt(), 42u);
    value = "untouched";
    QCOMPARE(mdlRegistry::queryRegistryValue(r, key, "b", value), -1L);
    QCOMPARE(value.toString(), QString("untouched"));
    QCOMPARE(mdlRegistry::queryRegistryValue(r, key, "missing", value), Registry::kFileNotFound);
    QCOMPARE(value.toString(), QString("untouched"));
    QVERIFY(!mdlRegistry::readRegistryValue(r, Registry::Hive::LocalMachine, "k", "b").isValid());
    QVERIFY(!mdlRegistry::readRegistryValue(r, Registry::Hive::ClassesRoot, "k", "s").isValid());
}

void AboutTest::offDeletesTheShortcutArrowOnce()
{
    FormFixture f;
    f.registry.keys[{ Registry::Hive::ClassesRoot, "lnkfile" }]["IsShortcut"] = text("");
    f.registry.keys[{ Registry::Hive::ClassesRoot, "lnkfile" }]["Other"] = text("kept");
    Form1& w = f.start();
    f.trigger("about");
    QPushButton* off = w.aboutWindow()->Command1;
    QTest::mouseClick(off, Qt::LeftButton);
    QTest::mouseClick(off, Qt::LeftButton); // a second time finds nothing and changes nothing
    const auto& values = f.registry.keys[{ Registry::Hive::ClassesRoot, "lnkfile" }];
    QCOMPARE(values.count("IsShortcut"), size_t(0));
    QCOMPARE(values.count("Other"), size_t(1));
    QCOMPARE(f.message(), QString());
}

void AboutTest::desktopRegistryAnswersTheHostName()
{
    DesktopRegistry r;
    const QVariant name = mdlRegistry::readRegistryValue(r, Registry::Hive::LocalMachine, kComputerName, "ComputerName");
    QCOMPARE(name.toString().section(QChar(0), 0, 0), QSysInfo::machineHostName());
    mdlRegistry::deleteRegistryValue(r, Registry::Hive::ClassesRoot, "lnkfile", "IsShortcut"); // nothing to delete
    QVERIFY(!mdlRegistry::readRegistryValue(r, Registry::Hive::ClassesRoot, "lnkfile", "IsShortcut").isValid());
}

void AboutTest::aboutStaysOpenWhenTheMainWindowCloses()
{
    FormFixture f;
    Form1& w = f.start();
    f.trigger("about");
    FrmAbout* about = w.aboutWindow();
    QVERIFY(about->isVisible());
    QVERIFY(!about->parentWidget()); // no owner: the main window stays usable
    f.close();
    QVERIFY(!w.isVisible());
    QVERIFY(about->isVisible());
}

void AboutTest::mainWindowControlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("ListView1") << "ListView1" << QRect(0, 0, 11895, 3375);
    QTest::newRow("Label11") << "Label11" << QRect(3360, 3720, 8535, 255);
    QTest::newRow("Text6") << "Text6" << QRect(8040, 6120, 3855, 225);
    QTest::newRow("Command6") << "Command6" << QRect(9120, 4080, 375, 255);
    QTest::newRow("Command10") << "Command10" << QRect(10560, 4080, 375, 255);
    QTest::newRow("Command1") << "Command1" << QRect(10920, 4080, 855, 255);
    QTest::newRow("Command2 on Text3's row") << "Command2" << QRect(11520, 5040, 375, 255);
    QTest::newRow("Command4 on Text5's row") << "Command4" << QRect(11520, 5760, 375, 255);
    QTest::newRow("Option7 in its frame") << "Option7" << QRect(120, 1440, 1935, 255);
    QTest::newRow("Text2 in its frame") << "Text2" << QRect(960, 1440, 495, 330);
}

void AboutTest::mainWindowControlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    FormFixture f;
    Form1& w = f.start();
    auto* control = w.findChild<QWidget*>(name);
    QVERIFY(control);
    const auto px = [](int t) { return (t + 7) / 15; };
    QCOMPARE(control->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    QCOMPARE(w.centralWidget()->size(), QSize(px(11925), px(6735)));
}

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
