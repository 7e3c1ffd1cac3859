#include "tags/read/treewalk.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QDir>
#include <QTest>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

// The MP3 files a command reaches below the paths it names: in path order,
// each folder once, hidden entries left out, and every path that cannot be
// walked said so.
class TreeWalkTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walksTheTree_data();
    void walksTheTree();
    void keepsEveryEntryForTheCheck();
    void aPathTooLongIsReadByNone();
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

// A dry run checks its names against these entries instead of listing the
// folder again: a hidden name and a link must be there, and a link to a
// folder must count as a folder, as the check's own listing counts it.
void TreeWalkTest::keepsEveryEntryForTheCheck()
{
    testsupport::TempDir dir;
    const std::string root = dir.path().toStdString();
    testsupport::writeFile(root, "a.mp3", testsupport::audio(200));
    testsupport::writeFile(root, ".hidden.mp3", testsupport::audio(200));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(::symlink("sub", (root + "/to folder").c_str()) == 0);
    QVERIFY(::symlink("a.mp3", (root + "/to file.mp3").c_str()) == 0);
    QVERIFY(::symlink("nowhere", (root + "/dangling").c_str()) == 0);
    LibraryWalk walk;
    walk.paths = { root };
    walk.readTags = false;
    walk.keepEntries = true;
    QStringList entries;
    walk.inOrder = [&](WalkedFolder& folder, FolderReads&, std::any&) {
        for (const auto& [name, isFolder] : folder.entries)
            entries << QString::fromStdString(name) + (isFolder ? "/" : "");
    };
    QVERIFY(walkLibrary(walk));
    entries.sort();
    QCOMPARE(entries, (QStringList { ".hidden.mp3", "a.mp3", "dangling", "sub/", "to file.mp3", "to folder/" }));
}

// A file whose path the kernel refuses as too long is not read, however
// many reads a turn takes: a run that follows could not move it by path.
void TreeWalkTest::aPathTooLongIsReadByNone()
{
    testsupport::TempDir dir;
    std::string folder = dir.path().toStdString();
    while (folder.size() < PATH_MAX - 260) {
        folder += "/" + std::string(200, 'd');
        QVERIFY(::mkdir(folder.c_str(), 0755) == 0);
    }
    folder += "/" + std::string(PATH_MAX - 41 - folder.size(), 'e'); // the folder's path 40 short of the limit
    QVERIFY(::mkdir(folder.c_str(), 0755) == 0);
    const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folderFd >= 0);
    const QByteArray bytes = testsupport::audio(300) + testsupport::id3v1("Song", "Artist", "Album");
    QStringList expected;
    for (int i = 0; i < 20; ++i) { // every other name takes the path past the limit
        const std::string name = std::to_string(10 + i) + (i % 2 ? std::string(60, 'x') : std::string()) + ".mp3";
        const int fd = ::openat(folderFd, name.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == bytes.size() && ::close(fd) == 0);
        expected << QString::fromStdString(name) + (folder.size() + 1 + name.size() < PATH_MAX ? " read" : " refused");
    }
    ::close(folderFd);
    LibraryWalk walk;
    walk.paths = { folder };
    QStringList read;
    walk.inOrder = [&](const WalkedFolder& walked, FolderReads& reads, std::any&) {
        for (std::size_t i = 0; i < walked.audio.size(); ++i)
            read << QString::fromStdString(walked.audio[i].name) + (reads[i] ? " read" : " refused");
    };
    QVERIFY(walkLibrary(walk));
    expected.sort();
    QCOMPARE(read, expected);
    QVERIFY(expected.filter(" refused").size() == 10);
}

QTEST_GUILESS_MAIN(TreeWalkTest)
#include "tst_treewalk.moc"
