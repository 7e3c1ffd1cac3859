#include "platform/filelistview.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace zentrio;
using testsupport::FormFixture;

namespace {

QStringList column(const FileListView& list, int column)
{
    QStringList values;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        values << list.model()->index(row, column).data().toString();
    return values;
}

} // namespace

// Untagged files named "NN - Artist - Title": tags from their names in one
// step, an album for all of them, that album undone after a restart, and a
// rename by the new tags.
class Form1TagsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tagsFromNamesAnEditForAllAndItsUndoAfterARestart();
};

void Form1TagsTest::tagsFromNamesAnEditForAllAndItsUndoAfterARestart()
{
    FormFixture f;
    for (const char* name : { "01 - Band - First.mp3", "02 - Band - Second.mp3", "notes.mp3" })
        testsupport::writeFile(f.music(), name, testsupport::audio(600));
    Form1& form = f.start();
    f.trigger("id3v2");
    f.trigger("selectall");

    f.trigger("fromname");
    auto* fromName = form.findChild<FromNameWindow*>();
    QVERIFY(fromName);
    QCOMPARE(fromName->rows->topLevelItem(2)->text(1), QString("no match"));
    QCOMPARE(fromName->rows->topLevelItem(0)->text(4), QString("01")); // the track column
    QTest::mouseClick(fromName->applyButton, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" tags written: 2, no match: 1, failed: 0"));
    QCOMPARE(column(*form.ListView1, 3), (QStringList { "First", "Second", "" }));

    f.trigger("selectall");
    f.trigger("setforchecked");
    auto* setFor = form.findChild<SetForCheckedWindow*>();
    QVERIFY(setFor);
    setFor->album->setText("Record");
    QTest::mouseClick(setFor->applyButton, Qt::LeftButton);
    QCOMPARE(column(*form.ListView1, 2), (QStringList { "Record", "Record", "Record" }));
    QCOMPARE(column(*form.ListView1, 1), (QStringList { "Band", "Band", "" })); // an empty box leaves the field

    f.close();
    f.start();
    f.trigger("undotag");
    QCOMPARE(f.message(), QString(" tag undo ready: 3 put back, 0 changed since or not writable"));
    QCOMPARE(column(*f.form().ListView1, 2), (QStringList { "", "", "" }));
    QCOMPARE(column(*f.form().ListView1, 3), (QStringList { "First", "Second", "" }));

    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.listedNames(), (QStringList { "01-First.mp3", "02-Second.mp3", "notes.mp3" }));
}

QTEST_MAIN(Form1TagsTest)
#include "tst_form1_tags.moc"
