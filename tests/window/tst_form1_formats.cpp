#include "platform/filelistview.h"
#include "rename/runpreview.h"
#include "tags/read/audiofile.h"
#include "tags/setforcheckedwindow.h"
#include "testsupport/formatfixture.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

using namespace zentrio;
using testsupport::FormFixture;

namespace {

// A mixed folder: one file of each of four formats, each tagged as its own
// format is, and a file that is no audio at all.
void writeMixedFolder(const std::string& folder)
{
    testsupport::writeTagged(folder, "a.mp3", "Alpha", "Ann");
    const std::pair<const char*, const char*> others[] = { { "b.flac", "Beta" }, { "c.m4a", "Gamma" },
        { "d.ogg", "Delta" } };
    for (const auto& [name, song] : others) {
        const std::string format = std::string(name).substr(2);
        const std::string path = testsupport::writeFile(folder, name, testsupport::untaggedFile(format));
        QVERIFY(testsupport::tagFile(path, { { "TITLE", { song } }, { "ARTIST", { "Bea" } } }));
    }
    testsupport::writeFile(folder, "notes.txt", "not audio");
}

// The bytes of every audio file on disk that is not MP3, sorted: a write
// into one of them, under any name, changes these.
std::vector<QByteArray> otherFormatBytes(const std::string& folder)
{
    std::vector<QByteArray> bytes;
    for (const std::string& name : testsupport::everyEntry(folder)) {
        if (const auto format = audioFormatOf(name); format && *format != AudioFormat::Mp3)
            bytes.push_back(testsupport::readFile(folder + "/" + name));
    }
    std::sort(bytes.begin(), bytes.end());
    return bytes;
}

QStringList onDisk(const std::string& folder)
{
    QStringList names;
    for (const std::string& name : testsupport::everyEntry(folder))
        names << QString::fromStdString(name);
    return names;
}

// Each row of the list as "name|artist|song".
QStringList listRows(const FileListView& list)
{
    QStringList rows;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        const auto cell = [&](int column) { return list.model()->index(row, column).data().toString(); };
        rows << cell(0) + '|' + cell(1) + '|' + cell(3);
    }
    return rows;
}

// Right-clicks a row and chooses "OK to rename" in its pop-up menu.
void renameByPopup(FormFixture& f, int row)
{
    FileListView* list = f.form().ListView1;
    QTimer::singleShot(0, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualRect(list->model()->index(row - 1, 1)).center());
}

const QStringList kAllListed { "a.mp3|Ann|Alpha", "b.flac|Bea|Beta", "c.m4a|Bea|Gamma", "d.ogg|Bea|Delta" };
const QStringList kAllOnDisk { "a.mp3", "b.flac", "c.m4a", "d.ogg", "notes.txt" };
const QString kLeftAlone(" not written: the tags of their format cannot be saved yet, %1 file(s) left alone");

} // namespace

class Form1FormatsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theAllFormatsSwitch_data();
    void theAllFormatsSwitch();
};

void Form1FormatsTest::theAllFormatsSwitch_data()
{
    QTest::addColumn<bool>("on"); // the user switches "all formats" on after start-up
    QTest::addColumn<QString>("step");
    QTest::addColumn<QStringList>("shown"); // the list's rows, or the preview's new names
    QTest::addColumn<QStringList>("disk");
    QTest::addColumn<QString>("said"); // the message line; "*": not looked at

    QTest::newRow("on: every format listed with its own tags") << true << "list" << kAllListed << kAllOnDisk << "*";
    QTest::newRow("off: the MP3 files alone, as before")
        << false << "list" << QStringList { "a.mp3|Ann|Alpha" } << kAllOnDisk << "*";
    QTest::newRow("on: selected renames each keeping its own extension") << true << "selected"
        << QStringList { "01-Alpha.mp3|Ann|Alpha", "02-Beta.flac|Bea|Beta", "03-Gamma.m4a|Bea|Gamma",
               "04-Delta.ogg|Bea|Delta" }
        << QStringList { "01-Alpha.mp3", "02-Beta.flac", "03-Gamma.m4a", "04-Delta.ogg", "notes.txt", "playlist.m3u" }
        << " mp3 rename ready... without error";
    QTest::newRow("off: selected renames the MP3 alone") << false << "selected"
        << QStringList { "01-Alpha.mp3|Ann|Alpha" }
        << QStringList { "01-Alpha.mp3", "b.flac", "c.m4a", "d.ogg", "notes.txt", "playlist.m3u" }
        << " mp3 rename ready... without error";
    QTest::newRow("on: undo takes the run back") << true << "undo" << kAllListed << kAllOnDisk + QStringList { "playlist.m3u" }
                                                 << " undo ready: 4 renamed back, 0 could not be";
    QTest::newRow("on: the preview shows the own extensions") << true << "preview"
        << QStringList { "01-Alpha.mp3", "02-Beta.flac", "03-Gamma.m4a", "04-Delta.ogg" } << kAllOnDisk << "*";
    QTest::newRow("on: the pop-up's rename keeps the FLAC's extension") << true << "popup"
        << QStringList { "02-Beta.flac|Bea|Beta", "a.mp3|Ann|Alpha", "c.m4a|Bea|Gamma", "d.ogg|Bea|Delta" }
        << QStringList { "02-Beta.flac", "a.mp3", "c.m4a", "d.ogg", "notes.txt" } << "*";
    QTest::newRow("on: remembered across a restart") << true << "restart" << kAllListed << kAllOnDisk << "*";
    QTest::newRow("on: save tag writes a FLAC's own comment") << true << "save flac"
        << QStringList { "a.mp3|Ann|Alpha", "b.flac|Bea|New", "c.m4a|Bea|Gamma", "d.ogg|Bea|Delta" } << kAllOnDisk
        << "*";
    QTest::newRow("on: save tag still writes an MP3") << true << "save mp3"
        << QStringList { "a.mp3|Ann|New", "b.flac|Bea|Beta", "c.m4a|Bea|Gamma", "d.ogg|Bea|Delta" } << kAllOnDisk
        << "*";
    QTest::newRow("on: set for checked writes every format whose tags are written") << true << "set for checked"
        << QStringList { "a.mp3|Band|Alpha", "b.flac|Band|Beta", "c.m4a|Band|Gamma", "d.ogg|Band|Delta", "e.wav|Band|",
               "f.wv||" }
        << QStringList { "a.mp3", "b.flac", "c.m4a", "d.ogg", "e.wav", "f.wv", "notes.txt" }
        << " tags written: 5, no match: 0, failed: 0;" + kLeftAlone.arg(1);
}

void Form1FormatsTest::theAllFormatsSwitch()
{
    QFETCH(bool, on);
    QFETCH(QString, step);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, disk);
    QFETCH(QString, said);

    FormFixture f;
    writeMixedFolder(f.music());
    if (step == "set for checked") { // a WAV file gets an ID3 chunk; a WavPack file is not written
        testsupport::writeFile(f.music(), "e.wav", testsupport::untaggedFile("wav"));
        testsupport::writeFile(f.music(), "f.wv", QByteArray("wvpk") + QByteArray(28, '\0') + testsupport::audio(600));
    }
    const std::vector<QByteArray> otherBytes = otherFormatBytes(f.music());
    f.start();
    QCOMPARE(f.form().formats->text(), QString("all formats"));
    QVERIFY(!f.form().formats->isChecked()); // off by default
    if (on)
        f.trigger("formats");
    QCOMPARE(f.form().formats->font().bold(), on);

    if (step == "selected" || step == "undo" || step == "preview") {
        f.trigger("selectall");
        f.trigger(step == "undo" ? "selected" : step.toLatin1().constData());
        if (step == "undo")
            f.trigger("undo");
    } else if (step == "popup") {
        f.clickRow(2);
        QCOMPARE(f.form().Text6->text(), QString("02-Beta.flac"));
        renameByPopup(f, 2);
    } else if (step == "restart") {
        f.close();
        QCOMPARE(f.config("formats"), QByteArray(on ? " 1" : " 0"));
        f.start();
        QCOMPARE(f.form().formats->isChecked(), on);
    } else if (step.startsWith("save")) {
        f.clickRow(step == "save flac" ? 2 : 1);
        f.form().Text5->setText("New");
        QTest::mouseClick(f.form().Command1, Qt::LeftButton);
    } else if (step == "set for checked") {
        f.trigger("selectall");
        f.trigger("setforchecked");
        QCOMPARE(f.message(), kLeftAlone.arg(1));
        auto* window = f.form().findChild<SetForCheckedWindow*>();
        QVERIFY(window);
        window->artist->setText("Band");
        QTest::mouseClick(window->applyButton, Qt::LeftButton);
    }

    if (step == "preview") {
        QTreeWidget* rows = f.form().runPreview()->rows;
        QStringList newNames;
        for (int i = 0; i < rows->topLevelItemCount(); ++i)
            newNames << rows->topLevelItem(i)->text(1);
        QCOMPARE(newNames, shown);
    } else {
        QCOMPARE(listRows(*f.form().ListView1), shown);
    }
    QCOMPARE(onDisk(f.music()), disk);
    if (!step.startsWith("save") && step != "set for checked") {
        QCOMPARE(otherFormatBytes(f.music()), otherBytes); // nothing but a tag command writes into them
    } else {
        for (const QByteArray& bytes : otherFormatBytes(f.music())) // never an ID3v1 record
            QVERIFY(!bytes.right(128).startsWith("TAG"));
    }
    if (step == "selected") { // "saving m3u" is on: the playlist holds what the list shows
        QByteArray lines;
        for (const QString& name : f.listedNames())
            lines += name.toUtf8() + "\r\n";
        QCOMPARE(testsupport::readFile(f.music() + "/playlist.m3u"), lines);
    }
    if (said != "*")
        QCOMPARE(f.message(), said);
}

QTEST_MAIN(Form1FormatsTest)
#include "tst_form1_formats.moc"
