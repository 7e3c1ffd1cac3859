#include "platform/fs/sharedmodule.h"
#include "tags/taglib/taglibmodule.h"
#include "testsupport/tempdir.h"

#include <QFile>
#include <QTest>

#include <cstdio>

using zentrio::fs::SharedModule;

// The TagLib module as a program opens it at its start and loads it later:
// what happens to the file on disk in between never changes which module
// the program gets.
class SharedModuleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Held as every program that loads the module holds it: the core's
        // loader, and with it the functions the module calls back into.
        const zentrio::TagLibEntries& (*volatile loader)() = &zentrio::taglib;
        QVERIFY(loader);
    }

    void loadsTheFileOpenedAtTheStart_data()
    {
        QTest::addColumn<QString>("meanwhile"); // what happens to the file after it was opened
        QTest::addColumn<bool>("loads");
        QTest::newRow("left as it is") << "" << true;
        QTest::newRow("replaced by another file (an upgrade)") << "replace" << true;
        QTest::newRow("removed") << "remove" << true;
        QTest::newRow("never there") << "missing" << false;
        QTest::newRow("not a module") << "garbage" << false;
    }

    void loadsTheFileOpenedAtTheStart()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, loads);
        testsupport::TempDir folder;
        const QString path = folder.filePath("module.so");
        const QString other = folder.filePath("other.so");
        const QByteArray garbage(4096, 'x');
        if (meanwhile == "garbage")
            QVERIFY(writeFile(path, garbage));
        else if (meanwhile != "missing")
            QVERIFY(QFile::copy(ZENTRIO_TAGLIB_MODULE, path));

        const SharedModule module
            = SharedModule::openFirst({ folder.filePath("absent.so").toStdString(), path.toStdString() });
        if (meanwhile == "replace") {
            QVERIFY(writeFile(other, garbage));
            QVERIFY(std::rename(qPrintable(other), qPrintable(path)) == 0);
        } else if (meanwhile == "remove") {
            QVERIFY(QFile::remove(path));
        }

        std::string why;
        const void* entries = module.function("zentrio_taglib_entries", why);
        QVERIFY2((entries != nullptr) == loads, why.c_str());
        QVERIFY2(loads == why.empty(), why.c_str());
        if (meanwhile == "missing") // each path tried is named, with its reason
            QVERIFY(
                QString::fromStdString(why).contains("absent.so") && QString::fromStdString(why).contains("module.so"));
        if (meanwhile == "garbage")
            QVERIFY(QString::fromStdString(why).startsWith(path));
    }

private:
    static bool writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
};

QTEST_GUILESS_MAIN(SharedModuleTest)
#include "tst_sharedmodule.moc"
