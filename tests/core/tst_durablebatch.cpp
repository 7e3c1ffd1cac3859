#include "platform/fs/durablebatch.h"
#include "testsupport/powermount.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using testsupport::PowerMount;

// A batch's writes last through a power cut on every file system it spans:
// files on the test file system (FUSE, which no syncfs reaches) are written
// beside files on the local disk, the batch commits, the power is cut, and
// every file on the mount must hold its new bytes.
class TestDurableBatch : public QObject {
    Q_OBJECT

    static int writeFile(const QString& path, const QByteArray& bytes)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0 && ::pwrite(fd, bytes.constData(), bytes.size(), 0) != bytes.size()) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

private Q_SLOTS:
    void writesLastOnEveryFileSystem_data()
    {
        QTest::addColumn<int>("local"); // files on the local disk, added first
        QTest::addColumn<int>("mounted"); // files on the mount, added after them
        QTest::addColumn<bool>("closedOne"); // one more descriptor, closed before the commit
        QTest::newRow("many on the mount") << 0 << 20 << false;
        QTest::newRow("a few on the mount") << 0 << 3 << false;
        QTest::newRow("local ones first, then the mount") << 20 << 20 << false;
        QTest::newRow("a descriptor that fails") << 10 << 10 << true;
    }
    void writesLastOnEveryFileSystem()
    {
        QFETCH(int, local);
        QFETCH(int, mounted);
        QFETCH(bool, closedOne);
        PowerMount mount;
        QString why;
        if (!mount.mount(why))
            QSKIP(qPrintable(why));
        QTemporaryDir disk;
        QVERIFY(mount.send("sync"));
        std::vector<int> fds;
        zentrio::fs::DurableBatch batch;
        for (int i = 0; i < local + mounted; ++i) {
            const QString folder = i < local ? disk.path() : mount.root();
            fds.push_back(writeFile(QString("%1/%2.mp3").arg(folder).arg(i), "new " + QByteArray::number(i)));
            QVERIFY(fds.back() >= 0);
            batch.add(fds.back());
        }
        if (closedOne) {
            const int gone = writeFile(disk.path() + "/gone.mp3", "gone");
            batch.add(gone);
            ::close(gone);
        }
        const std::vector<bool> durable = batch.commit();
        QCOMPARE(durable.size(), fds.size() + (closedOne ? 1 : 0));
        for (std::size_t i = 0; i < fds.size(); ++i)
            QVERIFY2(durable[i], qPrintable(QString::number(i)));
        if (closedOne)
            QVERIFY(!durable.back()); // a failure is never reported as lasting
        // The files' names last by their folder's sync, which is not the batch's.
        const int folder = ::open(QFile::encodeName(mount.root()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(::fsync(folder) == 0);
        ::close(folder);
        QVERIFY(mount.send("cut"));
        for (int i = local; i < local + mounted; ++i) {
            QFile file(QString("%1/%2.mp3").arg(mount.root()).arg(i));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), "new " + QByteArray::number(i));
        }
        for (const int fd : fds)
            ::close(fd);
    }
};

QTEST_GUILESS_MAIN(TestDurableBatch)
#include "tst_durablebatch.moc"
