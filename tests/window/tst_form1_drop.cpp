#include "app/languagepacks.h"
#include "platform/folderlist.h"
#include "testsupport/formatfixture.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

using namespace zentrio;
using testsupport::FormFixture;

namespace {

// A local path as a file URL, its bytes kept (percent-encoded).
QUrl fileUrl(const std::string& path)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

// Drags the URLs over the window and drops them; whether the window took them.
bool drop(Form1& form, const QList<QUrl>& urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint middle = form.rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    QDropEvent dropped(QPointF(middle), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &dropped);
    if (enter.isAccepted() != dropped.isAccepted())
        qFatal("the drag and the drop disagree");
    return dropped.isAccepted();
}

} // namespace

// The ways in from the desktop: a folder or files dropped on the window,
// and the language packs found by a build outside the source tree.
class Form1DropTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void droppedFoldersAndFilesOpenAndOthersAreRefused();
    void aDragIsJudgedByItsNamesAndTheDropByTheFiles_data();
    void aDragIsJudgedByItsNamesAndTheDropByTheFiles();
    void aBuildFindsThePacksOfItsTree();
};

void Form1DropTest::droppedFoldersAndFilesOpenAndOthersAreRefused()
{
    FormFixture f;
    const std::string album = f.music() + "/Album";
    const std::string odd = f.music() + "/\xFF\xFE odd";
    for (const std::string& folder : { album, odd })
        ::mkdir(folder.c_str(), 0755);
    testsupport::writeTagged(album, "a.mp3", "One");
    testsupport::writeTagged(album, "b.mp3", "Two");
    testsupport::writeFile(album, "notes.txt", "text");
    testsupport::writeTagged(odd, "c.mp3", "Three");
    Form1& form = f.start();

    QVERIFY(drop(form, { fileUrl(album) }));
    QCOMPARE(form.Dir1->path(), album);
    QCOMPARE(f.listedNames(), (QStringList { "a.mp3", "b.mp3" }));

    QVERIFY(drop(form, { fileUrl(odd + "/c.mp3") }));
    QCOMPARE(form.Dir1->path(), odd);
    QCOMPARE(form.Text5->text(), QString("Three"));

    QVERIFY(drop(form, { fileUrl(album + "/b.mp3"), fileUrl(album + "/a.mp3") }));
    QCOMPARE(form.Dir1->path(), album);
    QCOMPARE(form.Text1->text(), QString("b.mp3"));

    for (const QList<QUrl>& refused : QList<QList<QUrl>> { { fileUrl(album + "/notes.txt") },
             { fileUrl(album), fileUrl(odd) }, { QUrl("https://music.invalid/a.mp3") } }) {
        QVERIFY(!drop(form, refused));
        QCOMPARE(form.Dir1->path(), album);
    }
    // A FLAC file opens its folder only while the list shows every format.
    testsupport::writeFile(odd, "d.flac", testsupport::untaggedFile("flac"));
    QVERIFY(!drop(form, { fileUrl(odd + "/d.flac") }));
    f.trigger("formats");
    QVERIFY(drop(form, { fileUrl(odd + "/d.flac") }));
    QCOMPARE(form.Dir1->path(), odd);
    QCOMPARE(form.Text1->text(), QString("d.flac"));
}

void Form1DropTest::aDragIsJudgedByItsNamesAndTheDropByTheFiles_data()
{
    QTest::addColumn<QStringList>("dragged"); // in the music folder, which holds only "R.E.M. - Monster/a.mp3"
    QTest::addColumn<bool>("dragging"); // the drop pointer while the drag moves
    QTest::addColumn<QString>("opened"); // the folder the drop opens; empty: refused
    QTest::newRow("an MP3 name that is not there") << QStringList { "gone.mp3" } << true << "";
    QTest::newRow("a folder named with dots") << QStringList { "R.E.M. - Monster" } << true << "R.E.M. - Monster";
    QTest::newRow("a picture that is not there") << QStringList { "cover.jpg" } << false << "";
    QTest::newRow("an MP3 file and a missing one") << QStringList { "R.E.M. - Monster/a.mp3", "b.mp3" } << true << "";
}

// While dragging only the names count, so a name that is not there may show
// the drop pointer; the drop looks at the files and refuses it.
void Form1DropTest::aDragIsJudgedByItsNamesAndTheDropByTheFiles()
{
    QFETCH(QStringList, dragged);
    QFETCH(bool, dragging);
    QFETCH(QString, opened);
    FormFixture f;
    const std::string band = f.music() + "/R.E.M. - Monster";
    ::mkdir(band.c_str(), 0755);
    testsupport::writeTagged(band, "a.mp3", "One");
    Form1& form = f.start();
    QList<QUrl> urls;
    for (const QString& name : dragged)
        urls << fileUrl(f.music() + "/" + name.toStdString());

    const auto outcome = f.drag(urls);
    QCOMPARE(outcome.entered, dragging);
    QCOMPARE(outcome.moved, dragging);
    QCOMPARE(outcome.dropped, !opened.isEmpty());
    QCOMPARE(form.Dir1->path(), opened.isEmpty() ? f.music() : f.music() + "/" + opened.toStdString());
}

void Form1DropTest::aBuildFindsThePacksOfItsTree()
{
    // The test program lives in the build's tests folder, beside no packs.
    qunsetenv("ZENTRIO_LANG_PATH");
    QStringList names;
    for (const LanguagePack& pack : findLanguagePacks(languagePackFolders()))
        names << pack.name;
    QVERIFY2(names.contains("Deutsch") && names.contains("magyar"), qPrintable(names.join(", ")));
}

QTEST_MAIN(Form1DropTest)
#include "tst_form1_drop.moc"
