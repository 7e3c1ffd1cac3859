#include "rename/library/planfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace zentrio;

namespace {

// A plan as rename --plan-out keeps it: a path that is not UTF-8, numbers
// past 2^53, a numbered name, a companion, a --to folder and a file-system
// choice.
LibraryPlan madePlan()
{
    LibraryPlan plan;
    plan.roots = { "/m/in", std::string("/m/\xE9t\xE9") };
    plan.to = "/m/out";
    plan.fsChoice = FsChoice::Fat;
    PlannedFile song { std::string("/m/\xE9t\xE9/a.mp3"), "/m/out/X/One (2).mp3" };
    song.named = "/m/out/X/One.mp3";
    song.identity = { 0xFFFFFFFF00000001ULL, (1ULL << 60) + 1, 4096, 1700000000123456789LL, 1700000000987654321LL };
    song.argument = 1;
    song.status = FileStatus::Moved;
    PlannedFile cover { "/m/in/cover.jpg", "/m/out/X/cover.jpg", { 8, 9, 10, 11, 12 }, 0, true, FileStatus::Moved };
    PlannedFile stays { "/m/in/b.mp3", "", { 8, 10, 10, 11, 12 }, 0, false, FileStatus::Skipped };
    plan.files = { song, cover, stays };
    return plan;
}

} // namespace

// A plan written, then read back as it was; a damaged or edited one refused.
class PlanFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void planIsReadBack_data();
    void planIsReadBack();
};

void PlanFileTest::planIsReadBack_data()
{
    QTest::addColumn<QString>("where"); // "root" or "move" (the first), "cut": the text cut in half
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value"); // undefined: the key removed
    QTest::addColumn<bool>("refused");
    QTest::newRow("as written") << "" << "" << QJsonValue() << false;
    QTest::newRow("cut short") << "cut" << "" << QJsonValue() << true;
    QTest::newRow("a plan of the earlier version") << "root" << "zentrio_plan" << QJsonValue(1) << true;
    QTest::newRow("no plan at all") << "root" << "zentrio_plan" << QJsonValue(QJsonValue::Undefined) << true;
    QTest::newRow("no roots") << "root" << "roots" << QJsonValue(QJsonValue::Undefined) << true;
    QTest::newRow("a move without its size") << "move" << "size" << QJsonValue(QJsonValue::Undefined) << true;
    QTest::newRow("a size that is no number") << "move" << "size" << QJsonValue("12x") << true;
    QTest::newRow("a move to where it is") << "move" << "to" << QJsonValue("/m/in/cover.jpg") << true;
    // A number put again starts from this name, so it must be the one the target was numbered from.
    QTest::newRow("numbered from another name") << "move" << "named" << QJsonValue("/m/out/X/cover (2).jpg") << true;
}

void PlanFileTest::planIsReadBack()
{
    QFETCH(QString, where);
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    const LibraryPlan plan = madePlan();
    QByteArray json = planToJson(plan);
    QJsonObject root = QJsonDocument::fromJson(json).object();
    const auto edit = [&](QJsonObject& object) {
        if (value.isUndefined())
            object.remove(key);
        else
            object.insert(key, value);
    };
    if (where == "root") {
        edit(root);
    } else if (where == "move") {
        QJsonArray moves = root.value("moves").toArray();
        QJsonObject move = moves.last().toObject(); // the companion's, in plain UTF-8
        if (key == "to")
            move.remove("to_hex");
        edit(move);
        moves.replace(moves.size() - 1, move);
        root.insert("moves", moves);
    }
    if (!where.isEmpty())
        json = where == "cut" ? json.left(json.size() / 2) : QJsonDocument(root).toJson();
    std::string error;
    const std::optional<SavedPlan> saved = planFromJson(json, error);
    QFETCH(bool, refused);
    QCOMPARE(!saved, refused);
    QCOMPARE(error.empty(), !refused);
    if (refused)
        return;
    QCOMPARE(saved->roots, plan.roots);
    QCOMPARE(saved->to, plan.to);
    QCOMPARE(saved->fsChoice, plan.fsChoice);
    QCOMPARE(saved->files.size(), std::size_t(2)); // the file that stays is no move
    for (std::size_t i = 0; i < saved->files.size(); ++i) {
        const PlannedFile& read = saved->files[i];
        const PlannedFile& made = plan.files[i];
        QCOMPARE(read.from, made.from);
        QCOMPARE(read.to, made.to);
        QCOMPARE(read.named, made.named);
        QCOMPARE(read.carried, made.carried);
        QCOMPARE(read.status, FileStatus::Moved);
        QCOMPARE(read.identity.device, made.identity.device);
        QCOMPARE(read.identity.inode, made.identity.inode);
        QCOMPARE(read.identity.size, made.identity.size);
        QCOMPARE(read.identity.birth, made.identity.birth);
        QCOMPARE(read.identity.modified, made.identity.modified);
    }
}

QTEST_GUILESS_MAIN(PlanFileTest)
#include "tst_planfile.moc"
