#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "tags/read/tagsource.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

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
    void aTagWindowWritesOnlyWhatItShows_data();
    void aTagWindowWritesOnlyWhatItShows();
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

void Form1TagsTest::aTagWindowWritesOnlyWhatItShows_data()
{
    QTest::addColumn<QString>("window"); // the "tag" menu's command
    QTest::addColumn<QString>("change"); // in the main window while it is open
    QTest::newRow("from name, another folder") << "fromname" << "folder";
    QTest::newRow("from name, a folder dropped") << "fromname" << "drop";
    QTest::newRow("from name, the switch") << "fromname" << "switch";
    QTest::newRow("set for checked, a folder dropped") << "setforchecked" << "drop";
    QTest::newRow("set for checked, the switch") << "setforchecked" << "switch";
    QTest::newRow("set for checked, its files renamed into each other") << "setforchecked" << "swap";
}

// Another folder closes a tag window, so the same-named files there are
// never written; the ID3v2 switch it follows, and "apply" then writes the
// year (an ID3v2 field) into the files it showed, though the rescan cleared
// their check marks.
void Form1TagsTest::aTagWindowWritesOnlyWhatItShows()
{
    QFETCH(QString, window);
    QFETCH(QString, change);
    FormFixture f;
    const std::string aimed = f.music() + "/Aimed", other = f.music() + "/Other";
    const char* names[] = { "1999 - Band - First.mp3", "1999 - Band - Second.mp3" };
    for (const std::string& folder : { aimed, other }) {
        ::mkdir(folder.c_str(), 0755);
        for (const char* name : names)
            testsupport::writeFile(folder, name, testsupport::audio(600));
    }
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(aimed));
    Form1& form = f.start();
    f.trigger("selectall");
    f.trigger(window.toLatin1());
    QPointer<QDialog> shown = window == "fromname" ? static_cast<QDialog*>(form.findChild<FromNameWindow*>())
                                                   : form.findChild<SetForCheckedWindow*>();
    QVERIFY(shown);
    QCOMPARE(shown->findChild<QLabel*>("tagFiles")->text(), QString("2 checked file(s) in %1/").arg(aimed.c_str()));
    if (auto* fromName = qobject_cast<FromNameWindow*>(shown))
        fromName->patternBox->setText("{year} - {artist} - {song}");
    else if (auto* setFor = qobject_cast<SetForCheckedWindow*>(shown)) {
        setFor->album->setText("Record"); // so the ID3v2 tag is the one read
        setFor->year->setText("1999");
    }

    if (change == "folder")
        form.Dir1->setPath(other);
    else if (change == "drop")
        QVERIFY(f.drag({ QUrl::fromLocalFile(other.c_str()) }).dropped);
    else if (change == "swap") { // each name now names the other file
        for (const auto& [from, to] : { std::pair { 0, 2 }, { 1, 0 }, { 2, 1 } })
            ::rename((aimed + "/" + (from < 2 ? names[from] : "x")).c_str(), (aimed + "/" + (to < 2 ? names[to] : "x")).c_str());
    } else
        f.trigger("id3v2");
    if (change == "swap") {
        QTest::mouseClick(shown->findChild<QPushButton*>("tagApply"), Qt::LeftButton);
        QCOMPARE(f.message(), QString(" write error: mp3 TAG save is unable; tags written: 0, no match: 0, failed: 2"));
    } else if (change != "switch") {
        QTRY_VERIFY(!shown);
        QCOMPARE(f.message(), QString());
    } else {
        QTest::mouseClick(shown->findChild<QPushButton*>("tagApply"), Qt::LeftButton);
        QCOMPARE(f.message(), QString(" tags written: 2, no match: 0, failed: 0"));
    }
    for (const char* name : names) {
        QCOMPARE(readFileTag(aimed + "/" + name, TagSource::Id3v2First)->year, QString(change == "switch" ? "1999" : ""));
        QCOMPARE(testsupport::readFile(other + "/" + name), testsupport::audio(600));
    }
}

QTEST_MAIN(Form1TagsTest)
#include "tst_form1_tags.moc"
