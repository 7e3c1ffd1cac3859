#include "about/frmabout.h"
#include "app/interfacetexts.h"
#include "platform/drivelist.h"
#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "popup/menuform.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace zentrio;
using testsupport::FormFixture;

namespace {

QString accessibleName(QObject* object)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

Form1& startWithTwoFiles(FormFixture& f)
{
    testsupport::writeTagged(f.music(), "a.mp3", "One");
    testsupport::writeTagged(f.music(), "b.mp3", "Two");
    Form1& form = f.start();
    QApplication::setActiveWindow(&form);
    return form;
}

} // namespace

// The window as a keyboard user and a screen reader meet it.
class Form1DesktopTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tabWalksEveryControl();
    void spaceChecksAndTheMenuKeyOpensThePopup();
    void controlsHaveNamesAndTooltips();
    void altLettersAndF10OpenTheMenus();
    void theAboutWindowClosesWithEscape();
    void aLanguageIsChosenFromTheMenu();
};

void Form1DesktopTest::tabWalksEveryControl()
{
    FormFixture f;
    Form1& form = startWithTwoFiles(f);
    form.ListView1->setFocus();
    QSet<QWidget*> visited;
    for (int i = 0; i < 40; ++i) {
        visited << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (QWidget* control : std::initializer_list<QWidget*> { form.ListView1, form.Drive1, form.Dir1, form.Check1,
             form.Check4, form.Text2, form.Text3, form.Text5, form.Command2, form.Command4, form.Command6,
             form.Command10 })
        QVERIFY2(visited.contains(control), qPrintable(control->objectName()));
    form.Drive1->setFocus();
    QTest::keyClick(form.Drive1, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), form.ListView1);
}

void Form1DesktopTest::spaceChecksAndTheMenuKeyOpensThePopup()
{
    FormFixture f;
    Form1& form = startWithTwoFiles(f);
    f.clickRow(2);
    QTest::keyClick(form.ListView1, Qt::Key_Space);
    QVERIFY(form.ListView1->isChecked(1));
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(form.ListView1);
    QAccessibleInterface* box = table->tableInterface()->cellAt(1, 0);
    QVERIFY(box->state().checkable);
    QVERIFY(box->state().checked);
    QTest::keyClick(form.ListView1, Qt::Key_Space);
    QVERIFY(!form.ListView1->isChecked(1));

    for (const auto& [key, modifiers] : { std::pair { Qt::Key_Menu, Qt::NoModifier }, { Qt::Key_F10, Qt::ShiftModifier } }) {
        QString described;
        QTimer::singleShot(0, [&] {
            QMenu* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (open) {
                described = open->accessibleDescription();
                open->close();
            }
        });
        QTest::keyClick(form.ListView1, key, modifiers);
        QCOMPARE(described, QString("filename: b.mp3; new name: 02-Two.mp3"));
    }
}

void Form1DesktopTest::controlsHaveNamesAndTooltips()
{
    FormFixture f;
    Form1& form = startWithTwoFiles(f);
    const std::pair<QWidget*, QString> named[] = { { form.Command6, "play" }, { form.Command7, "pause" },
        { form.Command8, "previous" }, { form.Command9, "next" }, { form.Command10, "stop" },
        { form.Command2, "artist TAG" }, { form.Command3, "album TAG" }, { form.Command4, "song TAG" },
        { form.Text2, "separator" }, { form.Text3, "artist" }, { form.Text6, "new name" },
        { form.ListView1, "MP3 files of the folder" } };
    for (const auto& [control, name] : named) {
        QCOMPARE(accessibleName(control), name);
        if (qobject_cast<QPushButton*>(control))
            QVERIFY2(!control->toolTip().isEmpty(), qPrintable(name));
    }
}

void Form1DesktopTest::altLettersAndF10OpenTheMenus()
{
    FormFixture f;
    Form1& form = startWithTwoFiles(f);
    QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activePopupWidget(), form.meselect);
    QApplication::activePopupWidget()->close();
    QTest::keyClick(&form, Qt::Key_F10);
    QTRY_COMPARE(QApplication::activePopupWidget(), form.rename);
    QApplication::activePopupWidget()->close();
    QTest::keyClick(&form, Qt::Key_I, Qt::AltModifier); // "ID3v2": a command, not a menu
    QVERIFY(form.id3v2->isChecked());
}

void Form1DesktopTest::theAboutWindowClosesWithEscape()
{
    FormFixture f;
    Form1& form = f.start();
    for (Qt::Key key : { Qt::Key_Escape, Qt::Key_Return }) {
        f.trigger("about");
        QVERIFY(form.aboutWindow());
        QTest::keyClick(form.aboutWindow(), key);
        QTRY_VERIFY(!form.aboutWindow());
    }
}

void Form1DesktopTest::aLanguageIsChosenFromTheMenu()
{
    qputenv("ZENTRIO_LANG_PATH", ZENTRIO_LANG_DIR);
    FormFixture f;
    Form1& form = f.start();
    QStringList offered;
    QAction* german = nullptr;
    for (QAction* item : form.language->actions()) {
        offered << item->text();
        if (item->text() == "Deutsch")
            german = item;
    }
    QVERIFY(offered.contains("English") && offered.contains("magyar") && german);
    german->trigger();
    QCOMPARE(form.rename->title(), QString::fromUtf8("umbenennen"));
    QVERIFY(form.windowTitle().contains("Deutsch"));
    QCOMPARE(f.store().read("zentrio", "language", "newlanguage"), QByteArray("true"));
    QCOMPARE(f.store().read("zentrio", "language", "mrename"), QByteArray("umbenennen"));

    form.language->actions().first()->trigger(); // English
    QCOMPARE(form.rename->title(), QString("rename"));
    QCOMPARE(form.windowTitle(), kDefaultTitle);
    QCOMPARE(f.config("o1"), QByteArray("<missing>")); // nothing else was written
    f.close();
    f.start();
    QCOMPARE(f.form().rename->title(), QString("rename"));
    qunsetenv("ZENTRIO_LANG_PATH");
}

QTEST_MAIN(Form1DesktopTest)
#include "tst_form1_desktop.moc"
