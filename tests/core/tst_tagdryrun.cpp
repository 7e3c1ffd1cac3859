#include "tags/write/tagdryrun.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <unistd.h>

using namespace zentrio;
using testsupport::writeTagged;

// The dry run of a tag batch: what it tells of each file, in the order the
// files were given, without touching any.
class TagDryRunTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachFileIsToldWhatTheBatchWouldDo_data();
    void eachFileIsToldWhatTheBatchWouldDo();
};

void TagDryRunTest::eachFileIsToldWhatTheBatchWouldDo_data()
{
    // Files: "a" tagged song A, "l" a hard link to it, "s" too short to read.
    // Songs per path ("-": no values); states spelled C(hanges), U(nchanged),
    // N(o match), R (unreadable), S(ame file).
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("songs");
    QTest::addColumn<QString>("states");
    QTest::newRow("a change, told from what to what") << QStringList { "a" } << QStringList { "B" } << "C";
    QTest::newRow("the file holds the value already") << QStringList { "a" } << QStringList { "A" } << "U";
    QTest::newRow("a short file is unreadable, matched or not") << QStringList { "s", "s" } << QStringList { "B", "-" } << "RR";
    QTest::newRow("no values") << QStringList { "a" } << QStringList { "-" } << "N";
    QTest::newRow("a file reached twice changes once") << QStringList { "a", "l" } << QStringList { "B", "C" } << "CS";
    QTest::newRow("only a path that changes reaches the file")
        << QStringList { "a", "l" } << QStringList { "A", "C" } << "UC";
}

void TagDryRunTest::eachFileIsToldWhatTheBatchWouldDo()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, songs);
    QFETCH(QString, states);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string a = writeTagged(folder, "a", "A");
    QCOMPARE(::link(a.c_str(), (folder + "/l").c_str()), 0);
    testsupport::writeFile(folder, "s", "short");
    const QByteArray before = testsupport::readFile(a);
    std::vector<std::string> files;
    for (const QString& path : paths)
        files.push_back(folder + '/' + path.toStdString());
    const auto planned = planTagWrites(TagBatch {}, files, [&](std::size_t i) -> std::optional<TagValues> {
        return songs[i] == "-" ? std::nullopt : std::optional(TagValues { { TagField::Song, songs[i] } });
    });
    QVERIFY(planned);
    QString told;
    for (const PlannedTagWrite& file : *planned)
        told += QString("CUNRPS").at(static_cast<int>(file.state));
    QCOMPARE(told, states);
    if (states == "C") {
        QCOMPARE(planned->front().changes.size(), std::size_t(1));
        QCOMPARE(planned->front().changes.front().from, QString("A"));
        QCOMPARE(planned->front().changes.front().to, QString("B"));
    }
    QCOMPARE(testsupport::readFile(a), before); // nothing written
}

QTEST_GUILESS_MAIN(TagDryRunTest)
#include "tst_tagdryrun.moc"
