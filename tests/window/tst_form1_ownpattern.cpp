#include "platform/filelistview.h"
#include "rename/ownpatternwindow.h"
#include "testsupport/formfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace zentrio;
using testsupport::FormFixture;

// The road a person takes: an album named by title, an own pattern with the
// tag's track number, a rename, a restart, and an undo.
class Form1OwnPatternTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void anOwnPatternNamesRenamesAndSurvivesARestart();
};

void Form1OwnPatternTest::anOwnPatternNamesRenamesAndSurvivesARestart()
{
    FormFixture f;
    const std::pair<const char*, const char*> album[] = { { "Alpha", "2/3" }, { "Beta", "1/3" }, { "Gamma", "3/3" } };
    for (const auto& [title, track] : album) {
        testsupport::Id3v2Content content({ title }, { "Band" }, { "Record" });
        content.track = track;
        testsupport::writeFile(
            f.music(), std::string(title) + ".mp3", testsupport::id3v2(3, content) + testsupport::audio(600));
    }
    Form1& form = f.start();
    f.trigger("id3v2");
    f.clickRow(2);

    f.trigger("ownpattern");
    OwnPatternWindow* window = form.ownPatternWindow();
    QVERIFY(window);
    window->patternBox->setText("{track} - {artist");
    QVERIFY(!window->okButton->isEnabled());
    QCOMPARE(window->newName->text(), QString("the pattern cannot be read at character 11: \"{\" is not closed"));
    window->patternBox->setText("{track} - ");
    window->fields->setCurrentRow(1); // {artist}
    Q_EMIT window->fields->itemActivated(window->fields->currentItem());
    window->patternBox->insert(" - {song}");
    QCOMPARE(window->newName->text(), QString("01 - Band - Beta.mp3"));
    QTest::mouseClick(window->okButton, Qt::LeftButton);

    QCOMPARE(form.Text6->text(), QString("01 - Band - Beta.mp3"));
    QCOMPARE(form.Label2->text(), QString("own pattern active"));
    QVERIFY(!form.Check1->isEnabled());
    QVERIFY(form.Check1->isChecked());
    for (QRadioButton* button : { form.Option1, form.Option2, form.Option3, form.Option7 })
        QVERIFY(!button->isChecked());

    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.listedNames(), (QStringList { "01 - Band - Beta.mp3", "02 - Band - Alpha.mp3", "03 - Band - Gamma.mp3" }));

    f.close();
    QCOMPARE(f.config("ownpattern"), QByteArray(" 1"));
    Form1& again = f.start();
    QVERIFY(again.ownPatternActive());
    QCOMPARE(again.ownPattern(), QString("{track} - {artist} - {song}"));
    QCOMPARE(again.Label2->text(), QString("own pattern active"));
    f.trigger("undo");
    QCOMPARE(f.listedNames(), (QStringList { "Alpha.mp3", "Beta.mp3", "Gamma.mp3" }));

    // A pattern button returns to the seven patterns, "numbered" included.
    again.Option1->setChecked(true);
    QVERIFY(!again.ownPatternActive());
    QVERIFY(again.Check1->isEnabled());
    f.clickRow(1);
    QCOMPARE(again.Text6->text(), QString("01-Alpha.mp3"));
    QCOMPARE(again.Label2->text(), QString("mp3 filetype"));
}

QTEST_MAIN(Form1OwnPatternTest)
#include "tst_form1_ownpattern.moc"
