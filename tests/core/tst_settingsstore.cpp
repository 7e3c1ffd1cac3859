#include "platform/settings/inifile.h"
#include "platform/settings/settingsstore.h"
#include "testsupport/mp3fixture.h"

#include "testsupport/tempdir.h"
#include <QTest>

using namespace zentrio;

class SettingsStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valuesRoundTripVerbatim_data();
    void valuesRoundTripVerbatim();
    void missingKeysGiveTheDefault();
    void handWrittenFileIsReadAndKept();
    void writeKeepsWhatAPersonAddedMeanwhile();
    void lineBreaksInAValueAreRefused();
};

void SettingsStoreTest::valuesRoundTripVerbatim_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("leading blank number") << "o1" << QByteArray(" 1");
    QTest::newRow("negative number") << "X" << QByteArray("-60");
    QTest::newRow("separator with blanks") << "chare" << QByteArray(" - ");
    QTest::newRow("punctuation") << "msg1" << QByteArray(" a, b; \"c\" \\d = e ");
    QTest::newRow("non-ASCII key") << QString::fromUtf8("no \u00F5") << QByteArray("nincs \xC5\x91");
    QTest::newRow("empty") << "name1" << QByteArray();
    QTest::newRow("bytes that are not UTF-8") << "Path" << QByteArray("/music/\xFF\xFE");
}

void SettingsStoreTest::valuesRoundTripVerbatim()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, value);
    testsupport::TempDir dir;
    IniSettingsStore store(dir.path());
    store.write("zentrio", "config", key, value);
    store.write("zentrio", "config", "other", "x");
    QCOMPARE(store.read("zentrio", "config", key, "fallback"), value);
    // a second store reading the same file sees the same
    QCOMPARE(IniSettingsStore(dir.path()).read("zentrio", "config", key), value);
}

void SettingsStoreTest::missingKeysGiveTheDefault()
{
    testsupport::TempDir dir;
    IniSettingsStore store(dir.path());
    QCOMPARE(store.read("zentrio", "config", "X", " 2205"), QByteArray(" 2205"));
    QCOMPARE(store.read("zentrio", "language", "msg1"), QByteArray());
    QVERIFY(!QFile::exists(store.fileOf("zentrio"))); // reading never creates
    store.write("zentrio", "config", "X", " 1");
    QCOMPARE(store.read("zentrio", "language", "X", "d"), QByteArray("d"));
    QCOMPARE(store.read("zentrio", "config", "x", "d"), QByteArray("d")); // keys are case-sensitive
}

void SettingsStoreTest::handWrittenFileIsReadAndKept()
{
    testsupport::TempDir dir;
    IniSettingsStore store(dir.path());
    QDir().mkpath(dir.path() + "/zentrio");
    const QByteArray handWritten = "\xEF\xBB\xBF; my pack\r\n[language]\r\nnewlanguage=true\r\nno \xC3\xB5=nincs \xC3\xB5\r\n"
                                   "msg1= k\xC3\xA9sz, hiba n\xC3\xA9lk\xC3\xBCl; \"ok\"\r\njunk line\r\n\r\n[config]\r\no1= 0\r\n";
    testsupport::writeFile((dir.path() + "/zentrio").toStdString(), "zentrio.ini", handWritten);
    QCOMPARE(store.read("zentrio", "language", "newlanguage"), QByteArray("true"));
    QCOMPARE(store.read("zentrio", "language", QString::fromUtf8("no õ")), QByteArray("nincs \xC3\xB5"));
    QCOMPARE(store.read("zentrio", "language", "msg1"), QByteArray(" k\xC3\xA9sz, hiba n\xC3\xA9lk\xC3\xBCl; \"ok\""));
    QCOMPARE(store.read("zentrio", "config", "o1"), QByteArray(" 0"));

    store.write("zentrio", "config", "o1", " 1");
    store.write("zentrio", "config", "o2", " 1");
    QByteArray expected = handWritten;
    expected.replace("o1= 0\r\n", "o1= 1\r\no2= 1\r\n");
    QCOMPARE(testsupport::readFile(store.fileOf("zentrio").toStdString()), expected);
}

void SettingsStoreTest::writeKeepsWhatAPersonAddedMeanwhile()
{
    testsupport::TempDir dir;
    IniSettingsStore store(dir.path());
    store.write("zentrio", "config", "X", " 1");
    const std::string file = store.fileOf("zentrio").toStdString();
    testsupport::writeFile((dir.path() + "/zentrio").toStdString(), "zentrio.ini",
        testsupport::readFile(file) + "[language]\nnewlanguage=true\n");
    store.write("zentrio", "config", "Y", " 2");
    QCOMPARE(store.read("zentrio", "language", "newlanguage"), QByteArray("true"));
    QCOMPARE(store.read("zentrio", "config", "Y"), QByteArray(" 2"));
    QCOMPARE(testsupport::readFile(file), QByteArray("[config]\nX= 1\nY= 2\n[language]\nnewlanguage=true\n"));
}

void SettingsStoreTest::lineBreaksInAValueAreRefused()
{
    IniFile file = IniFile::parse("[a]\nk=v\n");
    QVERIFY(!file.setValue("a", "k", "two\nlines"));
    QCOMPARE(file.value("a", "k"), QByteArray("v"));
    QVERIFY(file.setValue("b", "k", "w"));
    QCOMPARE(file.serialize(), QByteArray("[a]\nk=v\n\n[b]\nk=w\n"));
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
