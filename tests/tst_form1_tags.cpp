#include "platform/filelistview.h"
#include "platform/folderlist.h"
#include "rename/pattern.h"
#include "tags/tagsource.h"
#include "tags/fromnamewindow.h"
#include "tags/setforcheckedwindow.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <map>
#include <sys/stat.h>

using namespace zentrio;
using testsupport::FormFixture;
using testsupport::readFile;

namespace {

QStringList column(const FileListView& list, int column)
{
    QStringList values;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        values << list.model()->index(row, column).data().toString();
    return values;
}

// Two folders holding untagged files of the same names; their bytes by path.
std::map<std::string, QByteArray> twoFolders(const std::string& aimed, const std::string& other)
{
    std::map<std::string, QByteArray> files;
    for (const std::string& folder : { aimed, other }) {
        ::mkdir(folder.c_str(), 0755);
        for (const char* name : { "01 - Band - First.mp3", "02 - Band - Second.mp3" })
            files[testsupport::writeFile(folder, name, testsupport::audio(600))] = testsupport::audio(600);
    }
    return files;
}

} // namespace

// Untagged files named "NN - Artist - Title": tags from their names in one
// step, an album for all of them, that album undone after a restart, and a
// rename by the new tags.
class Form1TagsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tagsFromNamesAnEditForAllAndItsUndoAfterARestart();
    void fromNameWritesOnlyWhereItWasAimed_data();
    void fromNameWritesOnlyWhereItWasAimed();
    void setForCheckedWritesTheFilesItShowsByTheSwitchNow();
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

void Form1TagsTest::fromNameWritesOnlyWhereItWasAimed_data()
{
    QTest::addColumn<QString>("change"); // what changes in the main window while the window is open
    QTest::addColumn<bool>("follows"); // the window stays and follows, or closes
    QTest::newRow("another folder in the folder list") << "folder" << false;
    QTest::newRow("another folder dropped on the main window") << "drop" << false;
    QTest::newRow("the ID3v2 switch") << "switch" << true;
}

// A "from file name" window never writes the same-named files of a folder
// it did not show, and writes by the switch the main window has now.
void Form1TagsTest::fromNameWritesOnlyWhereItWasAimed()
{
    QFETCH(QString, change);
    QFETCH(bool, follows);
    FormFixture f;
    const std::string aimed = f.music() + "/Aimed";
    const std::string other = f.music() + "/Other";
    auto before = twoFolders(aimed, other);
    f.setConfig("Drive", "/");
    f.setConfig("Path", QByteArray::fromStdString(aimed));
    Form1& form = f.start();
    f.trigger("selectall");
    f.trigger("fromname");
    QPointer<FromNameWindow> window = form.findChild<FromNameWindow*>();
    QVERIFY(window);
    QCOMPARE(window->files->text(), QString("2 checked file(s) in %1/").arg(QString::fromStdString(aimed)));
    window->patternBox->setText(QString(kMaxPatternLength + 1, 'x'));
    QCOMPARE(window->note->text(), QString("the pattern cannot be read at character 501: more than 500 characters"));
    QVERIFY(!window->applyButton->isEnabled());
    window->patternBox->setText("{track} - {artist} - {song}");
    QCOMPARE(window->rows->topLevelItem(0)->text(4), QString()); // switch off: no track

    if (change == "folder")
        form.Dir1->setPath(other);
    else if (change == "drop")
        QVERIFY(f.drag({ FormFixture::fileUrl(other) }).dropped);
    else
        f.trigger("id3v2");
    if (!follows) {
        QTRY_VERIFY(!window);
        QCOMPARE(f.message(), QString());
    } else {
        QCOMPARE(window->rows->topLevelItem(0)->text(4), QString("01"));
        QTest::mouseClick(window->applyButton, Qt::LeftButton);
        QCOMPARE(f.message(), QString(" tags written: 2, no match: 0, failed: 0"));
        const auto read = readFileTag(aimed + "/01 - Band - First.mp3", TagSource::Id3v2First);
        QCOMPARE(QStringList({ read->track, read->artist, read->song }), QStringList({ "01", "Band", "First" }));
        before.erase(aimed + "/01 - Band - First.mp3");
        before.erase(aimed + "/02 - Band - Second.mp3");
    }
    for (const auto& [path, bytes] : before)
        QVERIFY2(readFile(path) == bytes, path.c_str());
}

// "set for checked" names its files and folder; the switch turned on while
// it is open opens the ID3v2 boxes, and "apply" writes the files it named
// although the rescan cleared the check marks.
void Form1TagsTest::setForCheckedWritesTheFilesItShowsByTheSwitchNow()
{
    FormFixture f;
    for (const char* name : { "a.mp3", "b.mp3", "c.mp3" })
        testsupport::writeFile(f.music(), name, testsupport::audio(600));
    Form1& form = f.start();
    f.check(0, true);
    f.check(2, true);
    f.trigger("setforchecked");
    auto* window = form.findChild<SetForCheckedWindow*>();
    QVERIFY(window);
    QCOMPARE(window->files->text(), QString("2 checked file(s) in %1/").arg(QString::fromStdString(f.music())));
    QVERIFY(!window->year->isEnabled());

    f.trigger("id3v2");
    QVERIFY(window->year->isEnabled());
    window->album->setText("Record");
    window->year->setText("1999");
    QTest::mouseClick(window->applyButton, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" tags written: 2, no match: 0, failed: 0"));
    for (const char* name : { "a.mp3", "c.mp3" }) {
        const auto read = readFileTag(f.music() + "/" + name, TagSource::Id3v2First);
        QCOMPARE(QStringList({ read->album, read->year }), QStringList({ "Record", "1999" }));
    }
    QCOMPARE(readFile(f.music() + "/b.mp3"), testsupport::audio(600));
}

QTEST_MAIN(Form1TagsTest)
#include "tst_form1_tags.moc"
