#include "platform/filelistview.h"
#include "testsupport/formfixture.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace zentrio;
using testsupport::audio;
using testsupport::FormFixture;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

QByteArray id3v2Only(const QString& title, const QString& artist)
{
    return testsupport::id3v2(3, { { title }, { artist }, { "Album" } }) + audio(600);
}

QStringList songColumn(const FileListView& list)
{
    QStringList songs;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        songs << list.model()->index(row, 3).data().toString();
    return songs;
}

} // namespace

class Form1Id3v2Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theSwitchIsRememberedAcrossARestart();
    void theTypicalRoadWithTheSwitchOn();
    void aSaveThatCannotBeMadeShowsTheWriteError();
};

void Form1Id3v2Test::theSwitchIsRememberedAcrossARestart()
{
    FormFixture f;
    f.start(true);
    QVERIFY(!f.form().id3v2->isChecked());
    f.trigger("id3v2");
    f.close();
    QCOMPARE(f.config("id3v2"), QByteArray(" 1"));
    f.start();
    QVERIFY(f.form().id3v2->isChecked());
    f.trigger("id3v2");
    f.close();
    QCOMPARE(f.config("id3v2"), QByteArray(" 0"));
}

void Form1Id3v2Test::theTypicalRoadWithTheSwitchOn()
{
    FormFixture f;
    const QString title = QString::fromUtf8("Öszi fény, a title far longer than thirty characters");
    writeFile(f.music(), "b.mp3", id3v2Only(title, "Artist"));
    writeFile(f.music(), "a.mp3", id3v2Only("Second", "Artist"));
    Form1& form = f.start();
    QCOMPARE(songColumn(*form.ListView1), (QStringList { "", "" })); // the trailer rule: no tags

    f.trigger("id3v2");
    QCOMPARE(songColumn(*form.ListView1), (QStringList { "Second", title }));
    f.clickRow(2);
    QCOMPARE(form.Text5->text(), title);
    QCOMPARE(form.Text6->text(), QString::fromUtf8("02-Oszi feny, a title far longer than thirty characters.mp3"));

    f.trigger("selectall");
    f.trigger("selected");
    QCOMPARE(f.message(), QString(" mp3 rename ready... without error"));
    QCOMPARE(f.listedNames(),
        (QStringList { "01-Second.mp3", "02-Oszi feny, a title far longer than thirty characters.mp3" }));

    f.clickRow(1);
    form.Text5->setText(QString::fromUtf8("Új cím"));
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(songColumn(*form.ListView1).first(), QString::fromUtf8("Új cím"));
    QCOMPARE(form.ListView1->currentIndex(), 1);
}

void Form1Id3v2Test::aSaveThatCannotBeMadeShowsTheWriteError()
{
    FormFixture f;
    // A tag that claims more bytes than the file holds cannot be rewritten safely.
    QByteArray damaged = id3v2Only("Song", "Artist");
    damaged.replace(6, 4, QByteArray("\x7F\x7F\x7F\x7F", 4));
    const std::string path = writeFile(f.music(), "a.mp3", damaged);
    Form1& form = f.start();
    f.trigger("id3v2");
    f.clickRow(1);
    form.Text5->setText("New");
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(f.message(), QString(" write error: mp3 TAG save is unable"));
    QCOMPARE(readFile(path), damaged);
}

QTEST_MAIN(Form1Id3v2Test)
#include "tst_form1_id3v2.moc"
