#include "testsupport/powermount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using testsupport::PowerMount;

// The test file system keeps across a power cut exactly what a disk keeps:
// each case runs a shell script on the mount (coreutils' sync FILE is an
// fsync, sync -d an fdatasync, sync FOLDER the folder's fsync), cuts, and
// reads the durable state back, through the mount and from the bare
// backing folder once unmounted.
//
// A state is listed as "name=bytes" for a file, "name/" for a folder and
// "name@target" for a symbolic link.
class TestPowerFs : public QObject {
    Q_OBJECT

    static void lay(const QString& folder, const QStringList& state)
    {
        for (const QString& item : state) {
            if (item.endsWith('/')) {
                QDir(folder).mkpath(item);
                continue;
            }
            QFile file(folder + "/" + item.section('=', 0, 0));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(item.section('=', 1).toUtf8());
        }
    }

    static QStringList stateOf(const QString& folder, const QString& prefix = {})
    {
        QStringList state;
        const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QFileInfo& info : QDir(folder).entryInfoList(filters, QDir::Name)) {
            const QString name = prefix + info.fileName();
            if (info.isSymLink()) {
                state << name + "@" + info.symLinkTarget().section('/', -1);
            } else if (info.isDir()) {
                state << name + "/";
                state += stateOf(info.filePath(), name + "/");
            } else {
                QFile file(info.filePath());
                state << name + "=" + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "?");
            }
        }
        return state;
    }

private Q_SLOTS:
    void cutKeepsWhatWasSynced_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("freezeAfter"); // sync points before the cut; -1: the whole script
        QTest::addColumn<int>("syncs"); // sync points the script made before the cut
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QByteArray>("cut"); // as a disk may: some pending writes kept, one torn

        const QStringList old { "a=old" };
        QTest::newRow("written, never synced: gone") << QStringList() << "printf new > a" << -1 << 0 << QStringList() << QByteArray("cut");
        QTest::newRow("name synced, bytes not: empty")
            << QStringList() << "printf new > a && sync ." << -1 << 1 << QStringList { "a=" } << QByteArray("cut");
        QTest::newRow("overwritten, never synced: the old bytes") << old << "printf new > a" << -1 << 0 << old << QByteArray("cut");
        QTest::newRow("fsync of a new file alone: its name is gone")
            << QStringList() << "printf new > a && sync a" << -1 << 1 << QStringList() << QByteArray("cut");
        QTest::newRow("fsync of the file, then its folder: kept")
            << QStringList() << "printf new > a && sync a && sync ." << -1 << 2 << QStringList { "a=new" } << QByteArray("cut");
        QTest::newRow("rename, folder not synced: undone") << old << "mv a b" << -1 << 0 << old << QByteArray("cut");
        QTest::newRow("rename, folder synced: kept") << old << "mv a b && sync ." << -1 << 1 << QStringList { "b=old" } << QByteArray("cut");
        QTest::newRow("unlink, folder not synced: undone") << old << "rm a" << -1 << 0 << old << QByteArray("cut");
        QTest::newRow("synced copy renamed over, folder not synced: the old file")
            << old << "printf new > t && sync t && mv t a" << -1 << 1 << old << QByteArray("cut");
        QTest::newRow("synced copy renamed over, folder synced: the new file")
            << old << "printf new > t && sync t && mv t a && sync ." << -1 << 2 << QStringList { "a=new" } << QByteArray("cut");
        QTest::newRow("new folder, parent not synced: gone")
            << QStringList() << "mkdir d && printf x > d/f && sync d/f d" << -1 << 2 << QStringList() << QByteArray("cut");
        QTest::newRow("new folder, parent synced: kept")
            << QStringList() << "mkdir d && printf x > d/f && sync d/f d ." << -1 << 3 << QStringList { "d/", "d/f=x" } << QByteArray("cut");
        QTest::newRow("moved, only the new folder synced: at both paths")
            << QStringList { "a=old", "d/" } << "mv a d/a && sync d" << -1 << 1 << QStringList { "a=old", "d/", "d/a=old" } << QByteArray("cut");
        QTest::newRow("symbolic link, folder synced")
            << old << "ln -s a l && sync ." << -1 << 1 << QStringList { "a=old", "l@a" } << QByteArray("cut");
        QTest::newRow("fdatasync of a grown file: bytes and size")
            << QStringList { "a=ab" } << "printf cd >> a && sync -d a" << -1 << 1 << QStringList { "a=abcd" } << QByteArray("cut");
        QTest::newRow("fdatasync of a shrunk file: the old size")
            << QStringList { "a=abcdef" } << "printf XY > a && sync -d a" << -1 << 1 << QStringList { "a=XYcdef" } << QByteArray("cut");
        QTest::newRow("fsync of a shrunk file: the new size")
            << QStringList { "a=abcdef" } << "printf XY > a && sync a" << -1 << 1 << QStringList { "a=XY" } << QByteArray("cut");
        // The removed file's inode must not be taken for the new file's.
        QTest::newRow("removed, then a new file synced: the removed file's bytes")
            << QStringList { "b=keep" } << "rm b && printf new > c && sync c" << -1 << 1 << QStringList { "b=keep" } << QByteArray("cut");
        const QString appends = "for i in 1 2 3 4 5 6; do printf $i >> log; sync log; done";
        QTest::newRow("cut at the third sync of six") << QStringList { "log=" } << appends << 3 << 3
                                                      << QStringList { "log=123" } << QByteArray("cut");
        QTest::newRow("cut before the first sync") << QStringList { "log=" } << appends << 0 << 0
                                                   << QStringList { "log=" } << QByteArray("cut");
        QTest::newRow("a run to its end") << QStringList { "log=" } << appends << -1 << 6
                                          << QStringList { "log=123456" } << QByteArray("cut");
        const QString dash = QString(1024, '-');
        const QString pokes = "for at in 0 2 4; do printf x | dd of=a bs=1 seek=$at conv=notrunc status=none; done";
        QTest::newRow("a disk kept the second of three writes")
            << QStringList { "a=-----" } << pokes << -1 << 0 << QStringList { "a=--x--" } << QByteArray("cut keep=2");
        QTest::newRow("a disk tore a write at a 512-byte boundary")
            << QStringList { "a=" + dash }
            << "printf %0900d 0 | dd of=a bs=900 seek=100 oflag=seek_bytes conv=notrunc iflag=fullblock status=none"
            << -1 << 0 << QStringList { "a=" + dash.left(100) + QString(412, '0') + dash.mid(512) }
            << QByteArray("cut tear=1");
        QTest::newRow("a disk kept the second of three writes and every later one")
            << QStringList { "a=-----" } << pokes << -1 << 0 << QStringList { "a=--x-x" } << QByteArray("cut keep=2-");
        QTest::newRow("a lost fsync makes nothing durable, the next one does")
            << QStringList { "a=old" } << "echo lose-sync 1 > .powerfs && printf new > a && sync a && printf 2 > b && sync b"
            << -1 << 2 << QStringList { "a=old" } << QByteArray("cut");
        QTest::newRow("a lost folder sync keeps the old names")
            << old << "echo lose-sync 2 > .powerfs && sync . && mv a b && sync ." << -1 << 2 << old << QByteArray("cut");
    }

    void cutKeepsWhatWasSynced()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, script);
        QFETCH(int, freezeAfter);
        QFETCH(int, syncs);
        QFETCH(QStringList, after);
        QFETCH(QByteArray, cut);

        PowerMount mount;
        lay(mount.backing(), before);
        QString why;
        if (!mount.mount(why))
            QSKIP(qPrintable(why));
        const PowerMount::Run run = mount.runAndCut("sh", { "-c", script }, QProcessEnvironment::systemEnvironment(),
            mount.root(), freezeAfter, cut);
        QVERIFY2(run.frozen == (freezeAfter >= 0), run.output.constData());
        QCOMPARE(run.syncs, syncs);
        QCOMPARE(stateOf(mount.root()), after);
        mount.unmount();
        QCOMPARE(stateOf(mount.backing()), after);
    }
};

QTEST_GUILESS_MAIN(TestPowerFs)
#include "tst_powerfs.moc"
