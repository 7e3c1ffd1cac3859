#include "tags/write/tagfilewrite.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

using namespace zentrio;
using testsupport::Id3v2Content;

// The file writes of a tag batch: a record rewritten in place, a tag grown
// with the rest of the file kept after it, and a file that changed since
// its write was planned, or that has no plan, left as it is.
class TagFileWriteTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The crash copies go to a state folder of the test's own.
    void initTestCase() { qputenv("XDG_STATE_HOME", m_state.path().toUtf8()); }
    void writesWhatWasPlanned_data();
    void writesWhatWasPlanned();

private:
    testsupport::TempDir m_state;
};

void TagFileWriteTest::writesWhatWasPlanned_data()
{
    const QByteArray audio = testsupport::audio(300);
    const QByteArray small = testsupport::id3v2(3, Id3v2Content({ "A" }, { "X" }, { "Al" }));
    const QByteArray grown = testsupport::id3v2(3, Id3v2Content({ QString(3000, 'T') }, { "X" }, { "Al" }));
    const QByteArray oldRecord = testsupport::id3v1("Old", "X", "Al");
    const QByteArray newRecord = testsupport::id3v1("New", "X", "Al");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("record"); // the new record; empty: none
    QTest::addColumn<QByteArray>("region"); // the new ID3v2 region; empty: unchanged
    QTest::addColumn<QString>("meanwhile"); // "changed": the file is changed after its plan; "unplanned": no plan
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("done");
    QTest::newRow("a record in place") << audio + oldRecord << newRecord << QByteArray() << "" << audio + newRecord
                                       << true;
    QTest::newRow("a tag grown, the audio and record kept after it")
        << small + audio + oldRecord << oldRecord << grown << "" << grown + audio + oldRecord << true;
    QTest::newRow("a tag grown and a record") << small + audio + oldRecord << newRecord << grown << ""
                                              << grown + audio + newRecord << true;
    QTest::newRow("changed since planned: left alone")
        << audio + oldRecord << newRecord << QByteArray() << "changed" << audio + oldRecord + "x" << false;
    QTest::newRow("a grown tag, changed since planned: left alone") << small + audio + oldRecord << oldRecord
                                                                    << grown << "changed"
                                                                    << small + audio + oldRecord + "x" << false;
    QTest::newRow("no plan: left alone") << audio + oldRecord << newRecord << QByteArray() << "unplanned"
                                         << audio + oldRecord << false;
}

void TagFileWriteTest::writesWhatWasPlanned()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, region);
    QFETCH(QString, meanwhile);
    testsupport::TempDir dir;
    const std::string path = testsupport::writeFile(dir.path().toStdString(), "a.mp3", file);
    const WritePlanner planner = [&](std::size_t, const TagLayout& layout) -> std::optional<PlannedWrite> {
        if (meanwhile == "unplanned")
            return std::nullopt;
        TagRewrite rewrite;
        if (!record.isEmpty())
            rewrite.record = record.toStdString();
        if (!region.isEmpty()) {
            rewrite.region = TagRewrite::Region::Grows;
            rewrite.regionBytes = region.toStdString();
        }
        return plannedWrite(layout, rewrite);
    };
    SliceHooks hooks;
    hooks.beforeWrites = [&](std::size_t, const std::vector<std::optional<PlannedWrite>>& plans) {
        if (meanwhile == "changed")
            testsupport::writeFile(dir.path().toStdString(), "a.mp3", file + "x");
        return std::optional<std::vector<bool>>(std::vector<bool>(plans.size(), true));
    };
    const std::vector<bool> written = performTagWrites({ path }, !region.isEmpty(), planner, hooks);
    QFETCH(bool, done);
    QCOMPARE(written, std::vector<bool> { done });
    QFETCH(QByteArray, after);
    const QByteArray got = testsupport::readFile(path);
    QTEST(got, "after");
}

QTEST_GUILESS_MAIN(TagFileWriteTest)
#include "tst_tagfilewrite.moc"
