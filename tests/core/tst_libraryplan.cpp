#include "rename/library/libraryplan.h"
#include "rename/naming/pattern.h"
#include "tags/query/queryparse.h"
#include "testsupport/id3v2fixture.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QTest>

using namespace zentrio;

Q_DECLARE_METATYPE(zentrio::ConflictPolicy)

// A whole library planned by one pattern, on real tagged files: where each
// file goes, what goes along, and what the run refuses.
class LibraryPlanTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plansTheLibrary_data();
    void plansTheLibrary();
    void theWholeDiskIsRefused();
    void numbersAsWideAsTheirFolder_data();
    void numbersAsWideAsTheirFolder();
};

void LibraryPlanTest::plansTheLibrary_data()
{
    QTest::addColumn<QStringList>("disk"); // "path=song/artist" for an MP3 file, else a plain file
    QTest::addColumn<ConflictPolicy>("policy");
    QTest::addColumn<QStringList>("planned"); // "from>to" for a move, else "from:status"; "conflicts" ends a refused run (nothing moves)
    QTest::newRow("a folder walked, each file to its artist")
        << QStringList { "in/a.mp3=One/X", "in/b.mp3=Two/Y" } << ConflictPolicy::Stop
        << QStringList { "in/a.mp3>out/X/One.mp3", "in/b.mp3>out/Y/Two.mp3" };
    QTest::newRow("companions carried along") << QStringList { "in/cd/a.mp3=One/X", "in/cd/cover.jpg", "in/cd/x.txt" }
                                              << ConflictPolicy::Stop
                                              << QStringList { "in/cd/a.mp3>out/X/One.mp3", "in/cd/cover.jpg>out/X/cover.jpg" };
    QTest::newRow("companions stay when their folder splits")
        << QStringList { "in/cd/a.mp3=One/X", "in/cd/b.mp3=Two/Y", "in/cd/cover.jpg" } << ConflictPolicy::Stop
        << QStringList { "in/cd/a.mp3>out/X/One.mp3", "in/cd/b.mp3>out/Y/Two.mp3" };
    QTest::newRow("a needed field empty: skipped") << QStringList { "in/a.mp3=One/", "in/b.mp3=Two/Y" }
                                                   << ConflictPolicy::Stop
                                                   << QStringList { "in/a.mp3:skipped", "in/b.mp3>out/Y/Two.mp3" };
    const QStringList twins { "in/a.mp3=One/X", "in/b.mp3=One/X", "in/c.mp3=Two/X" };
    QTest::newRow("two files to one name, Stop") << twins << ConflictPolicy::Stop
                                                 << QStringList { "in/a.mp3>out/X/One.mp3", "in/b.mp3:conflict",
                                                        "in/c.mp3>out/X/Two.mp3", "conflicts" };
    QTest::newRow("two files to one name, Skip")
        << twins << ConflictPolicy::Skip
        << QStringList { "in/a.mp3>out/X/One.mp3", "in/b.mp3:skipped", "in/c.mp3>out/X/Two.mp3" };
    QTest::newRow("two files to one name, Number")
        << twins << ConflictPolicy::Number
        << QStringList { "in/a.mp3>out/X/One.mp3", "in/b.mp3>out/X/One (2).mp3", "in/c.mp3>out/X/Two.mp3" };
    // The other folder's file is skipped, so the new folder takes only this
    // folder's files: its cover goes along.
    QTest::newRow("companions go along when the other folder's file is skipped")
        << QStringList { "in/a/a.mp3=One/X", "in/a/cover.jpg", "in/b/b.mp3=One/X" } << ConflictPolicy::Skip
        << QStringList { "in/a/a.mp3>out/X/One.mp3", "in/b/b.mp3:skipped", "in/a/cover.jpg>out/X/cover.jpg" };
    QTest::newRow("a file of the library already holds the name")
        << QStringList { "in/a.mp3=One/X", "out/X/One.mp3" } << ConflictPolicy::Skip
        << QStringList { "in/a.mp3:skipped" };
}

void LibraryPlanTest::plansTheLibrary()
{
    QFETCH(QStringList, disk);
    QFETCH(ConflictPolicy, policy);
    testsupport::TempDir dir;
    const QString root = dir.path();
    for (const QString& entry : disk) {
        const QString path = entry.section('=', 0, 0);
        QVERIFY(QDir(root).mkpath(QFileInfo(root + "/" + path).path()));
        if (entry.contains('='))
            testsupport::writeTagged(root.toStdString(), path.toStdString(), entry.section('=', 1).section('/', 0, 0).toUtf8(),
                entry.section('/', -1).toUtf8());
        else
            testsupport::writeFile(root.toStdString(), path.toStdString(), "other");
    }
    LibraryRequest request;
    request.paths = { (root + "/in").toStdString() };
    request.recursive = true;
    request.options.pattern = Pattern::Own;
    request.options.own = std::make_shared<const ParsedPattern>(parsePattern("{artist}/{song}"));
    request.options.foldO = request.options.noAccent = false;
    request.to = (root + "/out").toStdString();
    request.conflicts = policy;
    const LibraryPlan plan = planLibraryRename(request);
    const auto relative = [&](const std::string& path) { return QString::fromStdString(path).mid(root.size() + 1); };
    QStringList planned;
    for (const PlannedFile& file : plan.files) {
        if (file.moves()) {
            planned << relative(file.from) + ">" + relative(file.to);
            continue;
        }
        const char* status = file.status == FileStatus::Skipped ? "skipped"
            : file.status == FileStatus::Conflict               ? "conflict"
            : file.status == FileStatus::Failed                 ? "failed"
                                                                : "unchanged";
        planned << relative(file.from) + ":" + status;
    }
    if (plan.hasConflicts())
        planned << "conflicts";
    QTEST(planned, "planned");
    QVERIFY(plan.failures.empty());
    QVERIFY(plan.hasConflicts() || plan.order.steps.size() == static_cast<std::size_t>(planned.filter(">").size()));
}

// A run made for "/" would move the whole disk's files: refused, whatever
// the policy; any other folder is not.
void LibraryPlanTest::theWholeDiskIsRefused()
{
    QVERIFY(!faultOfRoot("/").empty());
    QVERIFY(faultOfRoot("/home/music").empty());
    for (const ConflictPolicy policy : { ConflictPolicy::Stop, ConflictPolicy::Skip, ConflictPolicy::Number }) {
        LibraryPlan plan;
        plan.roots = { "/" };
        plan.policy = policy;
        plan.files.push_back({ "/a.mp3", "/b.mp3", {}, 0, false, FileStatus::Conflict, faultOfRoot("/") });
        checkWholeRun(plan, true);
        QVERIFY(plan.hasConflicts());
        QVERIFY(plan.order.steps.empty());
    }
}

// Files are named as each tag is read, before the rest of their folder is
// read: a folder whose widest track number is wider than two digits names
// every file again by it, the first files read as well; a number field
// without a width keeps the file's place in its folder.
void LibraryPlanTest::numbersAsWideAsTheirFolder_data()
{
    QTest::addColumn<QStringList>("tracks"); // "folder/name=track", each song is the file's name
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("names"); // the new names, in path order
    QTest::addColumn<QString>("query"); // empty: none
    QTest::newRow("ordinary numbers: two digits")
        << QStringList { "a/1.mp3=1", "a/2.mp3=2", "a/3.mp3=12" } << "{track} - {song}"
        << QStringList { "01 - 1.mp3", "02 - 2.mp3", "12 - 3.mp3" } << QString();
    QTest::newRow("a wide number widens its whole folder, not the next")
        << QStringList { "a/1.mp3=1", "a/2.mp3=2", "a/3.mp3=100", "b/1.mp3=1", "b/2.mp3=7" } << "{track} - {song}"
        << QStringList { "001 - 1.mp3", "002 - 2.mp3", "100 - 3.mp3", "01 - 1.mp3", "07 - 2.mp3" } << QString();
    QTest::newRow("named again: the number of its place kept")
        << QStringList { "a/x.mp3=1", "a/y.mp3=100", "a/z.mp3=2/9" } << "{n} {track} - {song}"
        << QStringList { "01 001 - x.mp3", "02 100 - y.mp3", "03 02 - z.mp3" } << QString();
    // With a query, numbers and widths count the files it takes alone.
    QTest::newRow("a query: the wide number left out, the places among matches")
        << QStringList { "a/1.mp3=1", "a/2.mp3=100", "a/3.mp3=3", "a/4.mp3=4" } << "{n} {track} - {song}"
        << QStringList { "01 01 - 1.mp3", "02 03 - 3.mp3", "03 04 - 4.mp3" } << "track:..99";
    QTest::newRow("a query: ordinary numbers, the places among matches")
        << QStringList { "a/1.mp3=1", "a/2.mp3=2", "a/3.mp3=3" } << "{n} {track} - {song}"
        << QStringList { "01 01 - 1.mp3", "02 03 - 3.mp3" } << "-track:2";
}

void LibraryPlanTest::numbersAsWideAsTheirFolder()
{
    QFETCH(QStringList, tracks);
    QFETCH(QString, pattern);
    testsupport::TempDir dir;
    const QString root = dir.path();
    for (const QString& entry : tracks) {
        const QString path = entry.section('=', 0, 0);
        QVERIFY(QDir(root).mkpath(QFileInfo(root + "/" + path).path()));
        testsupport::Id3v2Content content({ QFileInfo(path).completeBaseName() }, { "X" }, { "Y" });
        content.track = entry.section('=', 1);
        testsupport::writeFile(root.toStdString(), path.toStdString(),
            testsupport::id3v2(3, content) + testsupport::audio(300));
    }
    LibraryRequest request;
    request.paths = { root.toStdString() };
    request.recursive = true;
    request.options.pattern = Pattern::Own;
    request.options.own = std::make_shared<const ParsedPattern>(parsePattern(pattern));
    QFETCH(QString, query);
    if (!query.isEmpty())
        request.query = std::make_shared<const Query>(parseQuery(query).query);
    const LibraryPlan plan = planLibraryRename(request);
    QStringList names;
    for (const PlannedFile& file : plan.files)
        names << QString::fromStdString(file.to).section('/', -1);
    QTEST(names, "names");
}

QTEST_GUILESS_MAIN(LibraryPlanTest)
#include "tst_libraryplan.moc"
