#include "tags/write/tagdryrun.h"
#include "tags/read/tagsource.h"
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
    void initTestCase() { qputenv("XDG_STATE_HOME", m_state.path().toUtf8()); }
    void eachFileIsToldWhatTheBatchWouldDo_data();
    void eachFileIsToldWhatTheBatchWouldDo();
    void aKeptWriteIsTakenOnlyWhileTheFileIsAsPlanned_data();
    void aKeptWriteIsTakenOnlyWhileTheFileIsAsPlanned();

private:
    testsupport::TempDir m_state; // the crash copies of the writes
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

void TagDryRunTest::aKeptWriteIsTakenOnlyWhileTheFileIsAsPlanned_data()
{
    QTest::addColumn<bool>("changedSincePlan");
    QTest::newRow("as planned: written from the plan, undone") << false;
    QTest::newRow("written by another program since: read again, its change kept") << true;
}

// The batch writes the plan its first reading kept; a file another write
// changed since must not get the stale plan over that change.
void TagDryRunTest::aKeptWriteIsTakenOnlyWhileTheFileIsAsPlanned()
{
    QFETCH(bool, changedSincePlan);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string a = writeTagged(folder, "a.mp3", "A");
    const QByteArray before = testsupport::readFile(a);
    TagBatch batch;
    batch.source = TagSource::Id3v2First;
    const TagValues song { { TagField::Song, "B" } };
    const auto planned
        = planTagWrites(batch, { a }, [&](std::size_t) { return std::optional(song); }, {}, std::size_t(1) << 20);
    QVERIFY(planned && planned->front().kept);
    if (changedSincePlan) {
        TagBatch other = batch;
        other.files = { { a, TagValues { { TagField::Artist, "X" } } } };
        QCOMPARE(writeTags(other, nullptr).written, 1);
    }
    const QByteArray planTime = testsupport::readFile(a);
    batch.files = { { a, song } };
    batch.kept = { planned->front().kept };
    const TagJournal journal(folder + "/journal");
    QCOMPARE(writeTags(batch, &journal).written, 1);
    const auto fields = readFileTag(a, TagSource::Id3v2First);
    QVERIFY(fields);
    QCOMPARE(fields->song, QString("B"));
    QCOMPARE(fields->artist, QString(changedSincePlan ? "X" : "Artist"));
    const auto undone = journal.undoNewest();
    QVERIFY(undone && undone->restored == 1);
    QCOMPARE(testsupport::readFile(a), planTime);
    QVERIFY(changedSincePlan || planTime == before);
}

QTEST_GUILESS_MAIN(TagDryRunTest)
#include "tst_tagdryrun.moc"
