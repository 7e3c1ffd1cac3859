#include "cli/output.h"

#include <QTest>

using namespace zentrio;
using namespace zentrio::cli;

// What the command line shows of a name: quoted for a shell only when a
// terminal would not show it, and in JSON with its bytes kept when they are
// not UTF-8.
class OutputTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAreQuotedForAShell_data();
    void namesAreQuotedForAShell();
    void jsonPathsKeepTheirBytes_data();
    void jsonPathsKeepTheirBytes();
};

void OutputTest::namesAreQuotedForAShell_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("plain, blanks and all") << QByteArray("My Song.mp3") << QByteArray("My Song.mp3");
    QTest::newRow("UTF-8 stays") << QByteArray("Caf\xC3\xA9") << QByteArray("Caf\xC3\xA9");
    QTest::newRow("a line end") << QByteArray("a\nb") << QByteArray("'a'$'\\n''b'");
    QTest::newRow("an escape sequence") << QByteArray("\x1b[1m") << QByteArray("''$'\\033''[1m'");
    QTest::newRow("a C1 control") << QByteArray("a\xC2\x9B") << QByteArray("'a'$'\\302\\233'");
    QTest::newRow("a byte that is not UTF-8") << QByteArray("a\xFF") << QByteArray("'a'$'\\377'");
    QTest::newRow("a quote beside a control") << QByteArray("it's\t") << QByteArray("'it'\\''s'$'\\t'");
    QTest::newRow("an overlong slash") << QByteArray("\xC0\xAF") << QByteArray("''$'\\300\\257'");
}

void OutputTest::namesAreQuotedForAShell()
{
    QFETCH(QByteArray, name);
    QTEST(QByteArray::fromStdString(shellQuoted(name.toStdString())), "shown");
}

void OutputTest::jsonPathsKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex"); // empty: no "path_hex"
    QTest::newRow("UTF-8") << QByteArray("/m/Caf\xC3\xA9.mp3") << QString::fromUtf8("/m/Caf\xC3\xA9.mp3") << QString();
    QTest::newRow("a Latin-1 byte") << QByteArray("/m/\xE9") << QString::fromUtf8("/m/\xEF\xBF\xBD")
                                    << QString("2f6d2fe9");
    QTest::newRow("a cut sequence") << QByteArray("\xC3") << QString(QChar(0xFFFD)) << QString("c3");
}

void OutputTest::jsonPathsKeepTheirBytes()
{
    QFETCH(QByteArray, path);
    QJsonObject object;
    putPath(object, "path", path.toStdString());
    QTEST(object.value("path").toString(), "text");
    QTEST(object.value("path_hex").toString(), "hex");
    QFETCH(QString, hex);
    QCOMPARE(object.contains("path_hex"), !hex.isEmpty());
    if (!hex.isEmpty())
        QCOMPARE(QByteArray::fromHex(hex.toLatin1()), path);
}

QTEST_GUILESS_MAIN(OutputTest)
#include "tst_output.moc"
