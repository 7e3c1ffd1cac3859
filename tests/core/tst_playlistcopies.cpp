#include "platform/fs/digest.h"
#include "rename/playlists/playlistcopies.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/tempdir.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace zentrio;

namespace {

const std::string kOld = "01.mp3\n02.mp3\n";
const std::string kNew = "1 - One.mp3\n2 - Two.mp3\n";

enum class Fate { Removed, Said, Untouched };

} // namespace

Q_DECLARE_METATYPE(Fate)

// Which files beside a carried playlist its undo takes for the copies a
// killed rewrite left: only those of the copy's name holding the run's
// bytes go; any other file stays, said when it bears that name.
class PlaylistCopiesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyTheRewritesOwnCopiesGo_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Fate>("fate");
        QTest::newRow("the run's copy beside where it left the playlist")
            << "lib" << ".list.m3u.Ab12Cd" << QByteArray::fromStdString(kNew) << Fate::Removed;
        QTest::newRow("an undo's copy beside its old path") << "music" << ".list.m3u.x9Y8z7"
                                                            << QByteArray::fromStdString(kOld) << Fate::Removed;
        QTest::newRow("the copy's name, other bytes") << "lib" << ".list.m3u.Ab12Cd" << QByteArray("my notes\n")
                                                      << Fate::Said;
        QTest::newRow("the copy's name, empty") << "lib" << ".list.m3u.Ab12Cd" << QByteArray() << Fate::Said;
        QTest::newRow("a tail one letter short") << "lib" << ".list.m3u.Ab12C" << QByteArray::fromStdString(kNew)
                                                 << Fate::Untouched;
        QTest::newRow("a tail with a dash") << "lib" << ".list.m3u.Ab-12C" << QByteArray::fromStdString(kNew)
                                            << Fate::Untouched;
        QTest::newRow("another playlist's copy") << "lib" << ".other.m3u.Ab12Cd" << QByteArray::fromStdString(kNew)
                                                 << Fate::Untouched;
        QTest::newRow("not hidden") << "lib" << "list.m3u.Ab12Cd" << QByteArray::fromStdString(kNew)
                                    << Fate::Untouched;
    }

    void onlyTheRewritesOwnCopiesGo()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(Fate, fate);
        testsupport::TempDir dir;
        const std::string root = dir.path().toStdString();
        QVERIFY(::mkdir((root + "/lib").c_str(), 0755) == 0 && ::mkdir((root + "/music").c_str(), 0755) == 0);
        testsupport::writeFile(root + "/lib", "list.m3u", QByteArray::fromStdString(kNew));
        const std::string copy = testsupport::writeFile(root + "/" + folder.toStdString(), name.toStdString(), bytes);
        const PlaylistRewrite playlist { root + "/lib/list.m3u", root + "/music/list.m3u", digestOf(kNew), kOld };

        const RewriteCopies copies = rewriteCopiesOf(playlist);
        QCOMPARE(copies.others, fate == Fate::Said ? std::vector { copy } : std::vector<std::string>());
        QCOMPARE(removeRewriteCopies(copies.ours), fate == Fate::Removed ? 1 : 0);
        QCOMPARE(::access(copy.c_str(), F_OK) == 0, fate != Fate::Removed);
        QCOMPARE(testsupport::readFile(root + "/lib/list.m3u"), QByteArray::fromStdString(kNew));
    }
};

QTEST_GUILESS_MAIN(PlaylistCopiesTest)
#include "tst_playlistcopies.moc"
