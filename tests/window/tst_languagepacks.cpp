#include "platform/filelistview.h"
#include "platform/settings/inifile.h"
#include "testsupport/formfixture.h"
#include "testsupport/mp3fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTest>

using namespace zentrio;

// Every shipped language pack, put into the settings file as a person would,
// translates every text it defines and names its language in the title.
class LanguagePacksTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shippedPack_data();
    void shippedPack();
};

void LanguagePacksTest::shippedPack_data()
{
    QTest::addColumn<QString>("file");
    const QDir lang(ZENTRIO_LANG_DIR);
    const QStringList packs = lang.entryList({ "*.ini" });
    QVERIFY(packs.size() >= 2);
    for (const QString& pack : packs)
        QTest::newRow(qPrintable(pack)) << lang.filePath(pack);
}

void LanguagePacksTest::shippedPack()
{
    QFETCH(QString, file);
    const QByteArray content = testsupport::readFile(file.toStdString());
    const IniFile pack = IniFile::parse(content);

    testsupport::FormFixture f;
    QDir().mkpath(f.store().fileOf("zentrio").section('/', 0, -2));
    testsupport::writeFile(f.store().fileOf("zentrio").section('/', 0, -2).toStdString(), "zentrio.ini", content);
    Form1& w = f.start();

    const QString name1 = QString::fromUtf8(*pack.value("language", "name1"));
    const QString name2 = QString::fromUtf8(*pack.value("language", "name2"));
    QCOMPARE(w.windowTitle(), "Zentrio and TAG editor v5.0 freeware (" + name2 + " version - " + name1 + ")");
    for (const QString& key : InterfaceTexts::messageKeys() + InterfaceTexts::addedKeys()) {
        QVERIFY2(pack.value("language", key.toUtf8()), qPrintable("missing " + key));
        QVERIFY2(!w.texts().message(key).trimmed().isEmpty(), qPrintable(key));
    }
    QStringList captions;
    for (QAction* action : { w.selected, w.selectall, w.unselect, w.invert, w.savingm3u, w.merefresh, w.about })
        captions << action->text();
    captions << w.rename->title() << w.meselect->title();
    for (QCheckBox* box : { w.Check1, w.Check2, w.Check3, w.Check4, w.Check5, w.Check6 })
        captions << box->text();
    for (QRadioButton* button : { w.Option1, w.Option2, w.Option3, w.Option4, w.Option5, w.Option6 })
        captions << button->text();
    for (QLabel* label : { w.Label2, w.Label3[0], w.Label3[1], w.Label4[0], w.Label4[1], w.Label4[2], w.Label4[3],
             w.Label4[5], w.Label14, w.Label22 })
        captions << label->text();
    for (int c = 0; c < 4; ++c)
        captions << w.ListView1->model()->headerData(c, Qt::Horizontal).toString();
    for (const QString& caption : captions)
        QVERIFY2(!caption.trimmed().isEmpty(), "a caption is empty");
    QCOMPARE(w.Check2->text(), QString::fromUtf8(*pack.value("language", QString::fromUtf8("no õ").toUtf8())));
    QVERIFY(w.Label4[3]->text() != QString("song ")); // translated, not the built-in word
}

QTEST_MAIN(LanguagePacksTest)
#include "tst_languagepacks.moc"
