#include "platform/settings/settingsstore.h"
#include "testsupport/mp3fixture.h"
#include "testsupport/program.h"

#include <QFile>
#include <QProcess>
#include "testsupport/tempdir.h"
#include <QTest>

#include <csignal>

// The real program, started as a child process, ends the way closing its
// window does when it gets SIGTERM or SIGINT: its settings are written.
class ShutdownTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aSignalWritesTheSettings_data();
    void aSignalWritesTheSettings();
};

namespace {

// True once the process has a handler for the signal (bit signal-1 of SigCgt).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

void ShutdownTest::aSignalWritesTheSettings_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void ShutdownTest::aSignalWritesTheSettings()
{
    QFETCH(int, signal);
    testsupport::TempDir home;
    const QString music = home.path() + "/music";
    QDir().mkpath(music);
    testsupport::writeTagged(music.toStdString(), "a.mp3", "One");
    zentrio::IniSettingsStore store(home.path() + "/config");
    store.write("zentrio", "config", "chare", " + ");

    QProcess program;
    QVERIFY(testsupport::startProgram(program, home.path(), music, { { "QT_QPA_PLATFORM", "offscreen" } }));
    QTRY_VERIFY_WITH_TIMEOUT(catches(program.processId(), signal), 20000);
    ::kill(static_cast<pid_t>(program.processId()), signal);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(store.read("zentrio", "config", "Path"), music.toUtf8());
    QCOMPARE(store.read("zentrio", "config", "chare"), QByteArray(" + "));
    QCOMPARE(store.read("zentrio", "config", "o1"), QByteArray(" 1"));
}

QTEST_GUILESS_MAIN(ShutdownTest)
#include "tst_shutdown.moc"
