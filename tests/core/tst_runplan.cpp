#include "rename/folderrun/renamerun.h"
#include "rename/folderrun/runplan.h"
#include "testsupport/mp3fixture.h"

#include <QRegularExpression>
#include "testsupport/tempdir.h"
#include <QTest>

using namespace zentrio;
using testsupport::writeTagged;

Q_DECLARE_METATYPE(std::vector<StepOutcome>)

namespace {

// A folder spelled as "name=song" entries; "name=" is a file without a tag,
// "name!" a file too short to read. Names after a "|" are in the folder but
// not checked.
struct Folder {
    QStringList checked;
    QStringList others;
};

void build(const std::string& folder, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith('!')) {
            testsupport::writeFile(folder, entry.chopped(1).toStdString(), testsupport::audio(100));
        } else if (entry.endsWith('=')) {
            testsupport::writeFile(folder, entry.chopped(1).toStdString(), testsupport::audio(300));
        } else {
            const QStringList parts = entry.split('=');
            writeTagged(folder, parts[0].toStdString(), parts[1].toUtf8());
        }
    }
}

std::string nameOf(const QString& entry) { return entry.section(QRegularExpression("[=!]"), 0, 0).toStdString(); }

} // namespace

// The preview's plan is what the run then does: file by file, and in the
// way the run ends.
class RunPlanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void thePlanIsWhatTheRunDoes_data();
    void thePlanIsWhatTheRunDoes();
};

void RunPlanTest::thePlanIsWhatTheRunDoes_data()
{
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<std::vector<StepOutcome>>("expected");
    using O = StepOutcome;
    QTest::newRow("all renamed") << QStringList { "a.mp3=One", "b.mp3=Two" } << QStringList {}
                                 << std::vector { O::Renamed, O::Renamed };
    QTest::newRow("taken by a file outside the run")
        << QStringList { "a.mp3=Free", "b.mp3=X", "c.mp3=Y" } << QStringList { "X.mp3=" }
        << std::vector { O::Renamed, O::NameTaken, O::NotReached };
    QTest::newRow("two rows, one new name") << QStringList { "a.mp3=Same", "b.mp3=Same" } << QStringList {}
                                            << std::vector { O::Renamed, O::SameAsEarlier };
    QTest::newRow("same as an unchanged row") << QStringList { "Same.mp3=Same", "b.mp3=Same" } << QStringList {}
                                              << std::vector { O::Unchanged, O::SameAsEarlier };
    QTest::newRow("an earlier rename frees the target") << QStringList { "a.mp3=z", "b.mp3=a" } << QStringList {}
                                                        << std::vector { O::Renamed, O::Renamed };
    QTest::newRow("a later row still holds the target") << QStringList { "a.mp3=b", "b.mp3=z" } << QStringList {}
                                                        << std::vector { O::NameTaken, O::NotReached };
    QTest::newRow("a row without a tag") << QStringList { "a.mp3=", "b.mp3=Two" } << QStringList {}
                                         << std::vector { O::Skipped, O::Renamed };
    QTest::newRow("a failure in the middle") << QStringList { "a.mp3=One", "b.mp3!", "c.mp3=Three" } << QStringList {}
                                             << std::vector { O::Renamed, O::Unreadable, O::NotReached };
}

void RunPlanTest::thePlanIsWhatTheRunDoes()
{
    QFETCH(QStringList, checked);
    QFETCH(QStringList, others);
    QFETCH(std::vector<StepOutcome>, expected);
    testsupport::TempDir dir;
    const std::string folder = dir.path().toStdString();
    build(folder, checked + others);
    NameOptions options;
    options.numbered = false;
    std::vector<std::string> names;
    std::vector<RunItem> items;
    for (const QString& entry : checked) {
        names.push_back(nameOf(entry));
        items.push_back({ true, names.back() });
    }

    const auto steps = planFolderRun(folder, names, options, TagSource::Id3v1);
    QVERIFY(steps);
    std::vector<StepOutcome> planned;
    for (const PlanStep& step : *steps)
        planned.push_back(step.outcome);
    QCOMPARE(planned, expected);

    const RenameRunResult result = runRename(folder, items, options, {});
    auto expectedEnd = RenameRunResult::Outcome::Completed;
    int renamed = 0;
    for (const PlanStep& step : *steps) {
        const bool moved = step.outcome == StepOutcome::Renamed;
        QVERIFY2(testsupport::exists(folder + "/" + (moved ? step.newName : step.oldName)), step.oldName.c_str());
        renamed += moved || step.outcome == StepOutcome::Unchanged;
        if (step.outcome == StepOutcome::NameTaken || step.outcome == StepOutcome::SameAsEarlier)
            expectedEnd = RenameRunResult::Outcome::TargetExists;
        if (step.outcome == StepOutcome::Unreadable)
            expectedEnd = RenameRunResult::Outcome::Failed;
    }
    QCOMPARE(result.outcome, expectedEnd);
    QCOMPARE(result.renamed, renamed);
}

QTEST_GUILESS_MAIN(RunPlanTest)
#include "tst_runplan.moc"
