#include "platform/fs/filenames.h"
#include "rename/moves/conflictpolicy.h"
#include "rename/moves/pathplan.h"
#include "rename/moves/textindex.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QTest>

#include <deque>

using namespace zentrio;

namespace {

// Every file below the folder as "path:content"; each file's content is
// the path it was made at, so the list shows where each one went.
QStringList filesBelow(const QString& root, const QString& folder = {})
{
    QStringList found;
    for (const std::string& name : testsupport::everyEntry((root + folder).toStdString())) {
        const QString relative = folder + "/" + QString::fromStdString(name);
        if (QFileInfo(root + relative).isDir())
            found << filesBelow(root, relative);
        else
            found << relative.mid(1) + ":" + testsupport::readFile((root + relative).toStdString());
    }
    found.sort();
    return found;
}

} // namespace

// The whole run's check and order, and the numbers that keep files apart,
// on real files.
class PathPlanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theRunIsCheckedAndOrdered_data();
    void theRunIsCheckedAndOrdered();
    void numbersKeepFilesApart_data();
    void numbersKeepFilesApart();
    void aSavedNumberIsOneRenameGives_data();
    void aSavedNumberIsOneRenameGives();
    void theIndexFindsWhatItHolds_data();
    void theIndexFindsWhatItHolds();
};

void PathPlanTest::theRunIsCheckedAndOrdered_data()
{
    QTest::addColumn<QStringList>("disk"); // "F/": a folder
    QTest::addColumn<QStringList>("moves"); // "from>to"; "from>to@" lands on another file system
    QTest::addColumn<bool>("caseless");
    QTest::addColumn<QStringList>("after"); // empty: a conflict, nothing may move
    QTest::newRow("one rename") << QStringList { "a" } << QStringList { "a>b" } << false << QStringList { "b:a" };
    QTest::newRow("a chain, from its free end") << QStringList { "a", "b", "c" } << QStringList { "a>b", "b>d" }
                                                << false << QStringList { "b:a", "c:c", "d:b" };
    QTest::newRow("two swap") << QStringList { "a", "b" } << QStringList { "a>b", "b>a" } << false
                              << QStringList { "a:b", "b:a" };
    QTest::newRow("a cycle of three and a chain beside it")
        << QStringList { "a", "b", "c", "x" } << QStringList { "x>y", "a>b", "b>c", "c>a" } << false
        << QStringList { "a:c", "b:a", "c:b", "y:x" };
    QTest::newRow("into folders made for it") << QStringList { "a", "b" } << QStringList { "a>A/B/a", "b>A/b" } << false
                                              << QStringList { "A/B/a:a", "A/b:b" };
    QTest::newRow("two files to one path")
        << QStringList { "a", "b" } << QStringList { "a>c", "b>c" } << false << QStringList {};
    QTest::newRow("a target that stays") << QStringList { "a", "b" } << QStringList { "a>b" } << false
                                         << QStringList {};
    QTest::newRow("a file where a folder must be")
        << QStringList { "a", "F" } << QStringList { "a>F/a" } << false << QStringList {};
    QTest::newRow("another file system") << QStringList { "a", "b" } << QStringList { "b>c", "a>d@" } << false
                                         << QStringList {};
    QTest::newRow("two spellings of one name, caseless")
        << QStringList { "a", "b" } << QStringList { "a>X", "b>x" } << true << QStringList {};
    QTest::newRow("case only, caseless") << QStringList { "a" } << QStringList { "a>A" } << true
                                         << QStringList { "A:a" };
    QTest::newRow("a chain through another spelling, caseless")
        << QStringList { "a", "B" } << QStringList { "a>b", "B>c" } << true << QStringList { "b:a", "c:B" };
    // FAT's rules on a volume that keeps letter case: the spelling itself
    // is what stands there, whatever else differs from it in case alone.
    QTest::newRow("into a folder beside a file of its name in another case, caseless")
        << QStringList { "a", "f", "F/" } << QStringList { "a>F/a" } << true << QStringList { "F/a:a", "f:f" };
    QTest::newRow("into a file beside a folder of its name in another case, caseless")
        << QStringList { "a", "f", "F/" } << QStringList { "a>f/a" } << true << QStringList {};
    const QString nfd = QString::fromUtf8("Cafe\xCC\x81"), nfc = nfd.normalized(QString::NormalizationForm_C);
    QTest::newRow("NFC and NFD, one name") << QStringList { "a", "b" } << QStringList { "a>" + nfc, "b>" + nfd }
                                            << false << QStringList {};
    QTest::newRow("a chain through another Unicode form, after plain names")
        << QStringList { "a", nfd } << QStringList { "a>" + nfc, nfd + ">x" } << false
        << QStringList { nfc + ":a", "x:" + nfd };
    const QString kelvin = QString(QChar(0x212A)); // its composed form is "K"
    QTest::newRow("a name whose composed form a plain name leaves")
        << QStringList { "K", nfd } << QStringList { "K>y", nfd + ">" + kelvin } << false
        << QStringList { "y:K", kelvin + ":" + nfd };
    QTest::newRow("a name held in NFD stays") << QStringList { "a", nfd } << QStringList { "a>" + nfc } << false
                                              << QStringList {};
    QTest::newRow("NFD to NFC") << QStringList { nfd } << QStringList { nfd + ">" + nfc } << false
                                << QStringList { nfc + ":" + nfd };
    // The Kelvin sign composes to a plain "K": the one name a plain target can lose to.
    QTest::newRow("a plain name held by a sign that composes to it")
        << QStringList { "a", QString(QChar(0x212A)) } << QStringList { "a>K" } << false << QStringList {};
}

void PathPlanTest::numbersKeepFilesApart_data()
{
    QTest::addColumn<QStringList>("disk");
    QTest::addColumn<QStringList>("moves"); // "from>to"
    QTest::addColumn<bool>("caseless");
    QTest::addColumn<QStringList>("numbered"); // each move's target, in the order of the moves
    QTest::newRow("by source path, not by order") << QStringList { "a", "b" } << QStringList { "b>X.mp3", "a>X.mp3" }
                                                  << false << QStringList { "X (2).mp3", "X.mp3" };
    QTest::newRow("a name that stays") << QStringList { "a", "X.mp3", "X (2).mp3" } << QStringList { "a>X.mp3" }
                                       << false << QStringList { "X (3).mp3" };
    QTest::newRow("a song named \"X (2)\" keeps its name")
        << QStringList { "a", "b", "c" } << QStringList { "a>X.mp3", "b>X.mp3", "c>X (2).mp3" } << false
        << QStringList { "X.mp3", "X (3).mp3", "X (2).mp3" };
    QTest::newRow("numbered before: its own name again") << QStringList { "X.mp3", "X (2).mp3" }
                                                         << QStringList { "X (2).mp3>X.mp3" } << false
                                                         << QStringList { "X (2).mp3" };
    const QString nfd = QString::fromUtf8("Cafe\xCC\x81.mp3"), nfc = nfd.normalized(QString::NormalizationForm_C);
    QTest::newRow("NFC and NFD") << QStringList { "a", "b" } << QStringList { "a>" + nfc, "b>" + nfd } << false
                                 << QStringList { nfc, QString::fromUtf8("Cafe\xCC\x81 (2).mp3") };
    QTest::newRow("caseless") << QStringList { "a", "b" } << QStringList { "a>X.mp3", "b>x.mp3" } << true
                              << QStringList { "X.mp3", "x (2).mp3" };
    const QString longest = QString(125, QChar(0xE9)) + "e.mp3"; // 255 bytes
    QTest::newRow("cut to fit, at a character") << QStringList { "a", longest } << QStringList { "a>" + longest }
                                                << false << QStringList { QString(123, QChar(0xE9)) + " (2).mp3" };
}

// Numbers go only to the files that need them, the same whatever order the
// files were read in, never to a name anything that stays holds.
void PathPlanTest::numbersKeepFilesApart()
{
    QFETCH(QStringList, disk);
    QFETCH(QStringList, moves);
    QFETCH(bool, caseless);
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString() + "/";
    for (const QString& file : disk)
        testsupport::writeFile(root, textToName(file), "x");
    std::vector<NumberedTarget> targets;
    std::vector<std::string> leaving;
    for (const QString& move : moves) {
        targets.push_back({ root + textToName(move.section('>', 0, 0)), root + textToName(move.section('>', 1)), caseless });
        leaving.push_back(targets.back().from);
    }
    numberTargets(targets, leaving);
    QStringList numbered;
    for (const NumberedTarget& target : targets) {
        QVERIFY(baseOf(target.to).size() <= kMaxNameBytes);
        numbered << nameToText(baseOf(target.to));
    }
    QTEST(numbered, "numbered");
}

// The steps are made as a run makes them: every rename must succeed
// without replacing anything and leave each file where it was sent.
void PathPlanTest::theRunIsCheckedAndOrdered()
{
    QFETCH(QStringList, disk);
    QFETCH(QStringList, moves);
    QFETCH(bool, caseless);
    QFETCH(QStringList, after);
    testsupport::TempDir dir;
    const QString root = dir.path();
    for (const QString& file : disk) {
        if (file.endsWith('/'))
            QVERIFY(QDir().mkdir(root + "/" + file));
        else
            testsupport::writeFile(root.toStdString(), file.toStdString(), file.toUtf8());
    }
    const QStringList before = filesBelow(root);
    std::vector<MoveRequest> requests;
    for (QString move : moves) {
        const bool elsewhere = move.endsWith('@');
        move.remove('@');
        const std::string from = (root + "/" + move.section('>', 0, 0)).toStdString();
        const auto identity = fs::identityOf(from);
        QVERIFY(identity);
        TargetFs target { identity->device + (elsewhere ? 1 : 0), FsNames::Posix, caseless, "test" };
        requests.push_back({ { from, (root + "/" + move.section('>', 1)).toStdString(), *identity }, target });
    }
    // The check alone, as a dry run makes it, finds what the order finds.
    const std::vector<MoveRequest> asked = requests;
    QCOMPARE(checkMoves(requests).conflicts.empty(), !after.isEmpty());
    QVERIFY(requests.size() == asked.size() && requests.back().move.to == asked.back().move.to);
    const OrderedMoves order = orderMoves(requests);
    if (after.isEmpty()) {
        QVERIFY(!order.conflicts.empty());
        QVERIFY(order.steps.empty() && order.madeFolders.empty());
        return;
    }
    QVERIFY(order.conflicts.empty());
    for (const std::string& folder : order.madeFolders)
        QVERIFY(QDir().mkdir(QString::fromStdString(folder)));
    for (const Move& step : order.steps)
        QCOMPARE(fs::renameNoReplace(step.from, step.to), fs::RenameResult::Renamed);
    QCOMPARE(filesBelow(root), after);
    QVERIFY(before != after);
}

void PathPlanTest::aSavedNumberIsOneRenameGives_data()
{
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("named");
    QTest::addColumn<bool>("numbered");
    QTest::newRow("numbered") << QByteArray("/m/X (2).mp3") << QByteArray("/m/X.mp3") << true;
    QTest::newRow("a song named \"X (2)\", numbered") << QByteArray("/m/X (2) (3).mp3") << QByteArray("/m/X (2).mp3")
                                                    << true;
    QTest::newRow("no number rename gives") << QByteArray("/m/X (1).mp3") << QByteArray("/m/X.mp3") << false;
    QTest::newRow("a number written otherwise") << QByteArray("/m/X (02).mp3") << QByteArray("/m/X.mp3") << false;
    QTest::newRow("another name") << QByteArray("/m/Y (2).mp3") << QByteArray("/m/X.mp3") << false;
    QTest::newRow("another folder") << QByteArray("/n/X (2).mp3") << QByteArray("/m/X.mp3") << false;
    const std::string longest = "/m/" + std::string(251, 'A') + ".mp3"; // a name of 255 bytes, cut for its number
    QTest::newRow("cut to fit") << QByteArray::fromStdString(numberedPath(longest, 2))
                                << QByteArray::fromStdString(longest) << true;
    // Bytes past the longest name would show through a smaller number later.
    const std::string tooLong = "/m/" + std::string(251, 'A') + "\x01hidden.mp3";
    QTest::newRow("a name longer than any") << QByteArray::fromStdString(numberedPath(tooLong, 2))
                                            << QByteArray::fromStdString(tooLong) << false;
}

// A saved plan's "named" is read only when its target is numbered from it
// as rename numbers, so a plan cannot give through it a name rename never gives.
void PathPlanTest::aSavedNumberIsOneRenameGives()
{
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, named);
    QTEST(isNumberedFrom(to.toStdString(), named.toStdString()), "numbered");
}

void PathPlanTest::theIndexFindsWhatItHolds_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<quint64>("hashMask"); // the bits of each text's own hash kept: few bits, many collisions
    QTest::newRow("thousands, grown many times") << 5000 << ~quint64 { 0 };
    QTest::newRow("one hash for every text") << 300 << quint64 { 0 };
    QTest::newRow("one slot, other tags") << 300 << quint64 { 0xFFFF'FFFF'0000'0000u };
    QTest::newRow("one tag, other slots") << 300 << quint64 { 0x0000'0000'FFFF'FFFFu };
}

// The check's index: a text added is found with the value it was added
// with, a text never added is not, whatever their hashes share.
void PathPlanTest::theIndexFindsWhatItHolds()
{
    QFETCH(int, count);
    QFETCH(quint64, hashMask);
    std::deque<std::string> texts;
    const auto key = [&](const std::string& text) {
        HashedText hashed = HashedText::of(text);
        hashed.hash &= hashMask;
        return hashed;
    };
    TextIndex index; // from its fewest slots up
    for (int i = 0; i < count; ++i) {
        const auto [value, added] = index.add(key(texts.emplace_back("/m/" + std::to_string(i) + ".mp3")), i);
        QVERIFY(added && value == std::size_t(i));
    }
    const auto [first, again] = index.add(key("/m/0.mp3"), 99);
    QVERIFY(!again && first == 0);
    QCOMPARE(index.size(), std::size_t(count));
    for (int i = 0; i < count; ++i) {
        QCOMPARE(index.find(key(texts[i])), std::optional<std::size_t>(i));
        QCOMPARE(index.find(key("/m/" + std::to_string(i) + ".MP3")), std::nullopt);
    }
}

QTEST_GUILESS_MAIN(PathPlanTest)
#include "tst_pathplan.moc"
