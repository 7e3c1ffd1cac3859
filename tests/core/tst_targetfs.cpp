#include "rename/moves/targetfs.h"

#include <QTest>

using namespace zentrio;

// The rules of the disk a file lands on: which names it takes and whether
// it tells letter case apart, by its file-system type and mount.
class TargetFsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesFitTheTargetFileSystem_data();
    void namesFitTheTargetFileSystem();
    void gvfsSharesOfWindowsTakeItsRules();
};

void TargetFsTest::namesFitTheTargetFileSystem_data()
{
    QTest::addColumn<long>("statfsType");
    QTest::addColumn<QString>("mountType");
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("ignoresCase");
    const QString odd = "a<b>c:d\"e|f?g*h. ";
    QTest::newRow("ext4 takes anything") << 0xEF53L << "" << odd << odd << false;
    QTest::newRow("vfat") << 0x4d44L << "" << odd << "a-b-c-d-e-f-g-h" << true;
    QTest::newRow("exFAT") << 0x2011BAB0L << ""
                           << "Live: Tokyo..."
                           << "Live- Tokyo" << true;
    QTest::newRow("ntfs3") << 0x7366746eL << ""
                           << "Why?"
                           << "Why-" << true;
    QTest::newRow("SMB share") << 0xFE534D42L << ""
                               << "A|B"
                               << "A-B" << true;
    QTest::newRow("exfat-fuse") << 0x65735546L << "fuseblk"
                                << "x: y"
                                << "x- y" << true;
    QTest::newRow("a FUSE driver named for exFAT") << 0x65735546L << "fuse.exfat"
                                                   << "? "
                                                   << "-" << true;
    QTest::newRow("sshfs") << 0x65735546L << "fuse.sshfs"
                           << "a:b"
                           << "a:b" << false;
    QTest::newRow("nothing left") << 0x4d44L << ""
                                  << ". ."
                                  << "_" << true;
    QTest::newRow("a device name of Windows") << 0x4d44L << ""
                                              << "con.mp3"
                                              << "con_.mp3" << true;
    QTest::newRow("a device name as a folder") << 0x2011BAB0L << ""
                                               << "Lpt1 "
                                               << "Lpt1_" << true;
    QTest::newRow("no device name") << 0x4d44L << ""
                                    << "Console.mp3"
                                    << "Console.mp3" << true;
}

void TargetFsTest::namesFitTheTargetFileSystem()
{
    QFETCH(long, statfsType);
    QFETCH(QString, mountType);
    QFETCH(QString, component);
    QFETCH(QString, expected);
    QFETCH(bool, ignoresCase);
    const TargetFs fs = fileSystemFamily(statfsType, mountType.toStdString());
    QCOMPARE(fs.ignoresCase, ignoresCase);
    QCOMPARE(fitComponent(component, namesUnder(FsChoice::Auto, fs)), expected);
    QCOMPARE(fitComponent(component, namesUnder(FsChoice::Posix, fs)), component);
    QCOMPARE(fitComponent("a?", namesUnder(FsChoice::Fat, fs)), QString("a-"));
}

// GNOME's gvfs mounts every share under one FUSE file system; the folder
// below it says which kind of share it is.
void TargetFsTest::gvfsSharesOfWindowsTakeItsRules()
{
    const long fuse = 0x65735546L;
    QVERIFY(fileSystemFamily(fuse, "fuse.gvfsd-fuse", "smb-share:server=nas,share=music/Band").ignoresCase);
    QCOMPARE(fileSystemFamily(fuse, "fuse.gvfsd-fuse", "mtp:host=Phone/Music").names, FsNames::Windows);
    QCOMPARE(fileSystemFamily(fuse, "fuse.gvfsd-fuse", "sftp:host=server/music").names, FsNames::Posix);
}

QTEST_GUILESS_MAIN(TargetFsTest)
#include "tst_targetfs.moc"
