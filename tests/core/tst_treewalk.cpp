#include "tags/read/treewalk.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QTest>

using namespace zentrio;

// The MP3 files a command reaches below the paths it names: in path order,
// each folder once, hidden entries left out, and every path that cannot be
// walked said so.
class TreeWalkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walksTheTree_data();
    void walksTheTree();
};

void TreeWalkTest::walksTheTree_data()
{
    QTest::addColumn<QStringList>("disk");
    QTest::addColumn<QStringList>("paths"); // "." is the folder itself
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<QStringList>("walked"); // "folder:mp3s" ("~" when named one by one), "!path" for a failure
    const QStringList tree { "x.mp3", "b/y.mp3", "a/z.mp3", "a/c/w.mp3", "a/notes.txt" };
    QTest::newRow("a folder's MP3 files by their bytes")
        << QStringList { "b.mp3", "B.mp3", "a.mp3", "cover.jpg" } << QStringList { "." } << false
        << QStringList { ".:B.mp3,a.mp3,b.mp3" };
    QTest::newRow("no recursion: the folder alone") << tree << QStringList { "." } << false << QStringList { ".:x.mp3" };
    QTest::newRow("recursion in path order") << tree << QStringList { "." } << true
                                             << QStringList { ".:x.mp3", "a:z.mp3", "a/c:w.mp3", "b:y.mp3" };
    QTest::newRow("hidden folders and files left out")
        << QStringList { ".h/x.mp3", ".y.mp3", "z.mp3" } << QStringList { "." } << true << QStringList { ".:z.mp3" };
    QTest::newRow("named files, one of them twice") << QStringList { "a.mp3", "b.mp3", "c.mp3" }
                                                    << QStringList { "b.mp3", "a.mp3", "b.mp3" } << false
                                                    << QStringList { ".~a.mp3,b.mp3" };
    QTest::newRow("a file named in a folder named whole") << QStringList { "a.mp3", "b.mp3" }
                                                          << QStringList { "a.mp3", "." } << false
                                                          << QStringList { ".:a.mp3,b.mp3" };
    QTest::newRow("a missing path, and a file that is no MP3")
        << QStringList { "a.mp3", "c.txt" } << QStringList { "gone", "c.txt", "a.mp3" } << false
        << QStringList { "!gone", "!c.txt", ".~a.mp3" };
}

void TreeWalkTest::walksTheTree()
{
    QFETCH(QStringList, disk);
    QFETCH(QStringList, paths);
    QFETCH(bool, recursive);
    testsupport::TempDir dir;
    const QString root = dir.path();
    for (const QString& file : disk) {
        QVERIFY(QDir(root).mkpath(QFileInfo(root + "/" + file).path()));
        testsupport::writeFile(root.toStdString(), file.toStdString(), testsupport::audio(200));
    }
    const auto relative = [&](const std::string& path) {
        const QString text = QString::fromStdString(path);
        return text == root ? QString(".") : text.mid(root.size() + 1);
    };
    LibraryWalk walk;
    for (const QString& path : paths)
        walk.paths.push_back((path == "." ? root : root + "/" + path).toStdString());
    walk.recursive = recursive;
    walk.readTags = false;
    QStringList walked;
    walk.inOrder = [&](const WalkedFolder& folder, FolderReads&, std::any&) {
        QStringList names;
        for (const WalkedFile& file : folder.audio)
            names << QString::fromStdString(file.name);
        walked << relative(folder.path) + (folder.whole ? ":" : "~") + names.join(",");
    };
    QStringList failures;
    walk.failed = [&](const WalkFailure& failure) { failures << "!" + relative(failure.path); };
    QVERIFY(walkLibrary(walk));
    QTEST(failures + walked, "walked");
}

QTEST_GUILESS_MAIN(TreeWalkTest)
#include "tst_treewalk.moc"
