#include "platform/windowmessaging.h"
#include "testsupport/formfixture.h"

#include <QDBusConnection>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace zentrio;

// A media player as the session bus knows it: it records the remote calls.
class FakePlayer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
public:
    QStringList calls;
public Q_SLOTS:
    void PlayPause() { calls << "PlayPause"; }
    void Previous() { calls << "Previous"; }
    void Next() { calls << "Next"; }
    void Stop() { calls << "Stop"; }
};

class MprisTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void buttonsReachTheRunningPlayer();
    void noPlayerMeansNothingHappens();
    void noBusMeansNothingHappens();

private:
    QProcess m_daemon;
    QString m_address;
};

void MprisTest::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed (scripts/setup.sh installs it)");
    m_daemon.start(daemon, { "--session", "--nofork", "--nopidfile", "--print-address=1" });
    QVERIFY(m_daemon.waitForStarted());
    QTRY_VERIFY(m_daemon.canReadLine());
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void MprisTest::cleanupTestCase()
{
    m_daemon.kill();
    m_daemon.waitForFinished();
}

void MprisTest::buttonsReachTheRunningPlayer()
{
    QDBusConnection playerBus = QDBusConnection::connectToBus(m_address, "player");
    QVERIFY(playerBus.isConnected());
    FakePlayer player;
    QVERIFY(playerBus.registerObject("/org/mpris/MediaPlayer2", &player, QDBusConnection::ExportAllSlots));
    QVERIFY(playerBus.registerService("org.mpris.MediaPlayer2.fakeplayer"));

    MprisWindowMessaging messaging(QDBusConnection::connectToBus(m_address, "zentrio"));
    testsupport::FormFixture f(&messaging);
    Form1& w = f.start();
    for (QPushButton* b : { w.Command7, w.Command8, w.Command9, w.Command10 })
        QTest::mouseClick(b, Qt::LeftButton);
    QTRY_COMPARE(player.calls, (QStringList { "PlayPause", "Previous", "Next", "Stop" }));
    QCOMPARE(f.message(), QString());
    playerBus.unregisterService("org.mpris.MediaPlayer2.fakeplayer");
    QDBusConnection::disconnectFromBus("player");
}

void MprisTest::noPlayerMeansNothingHappens()
{
    MprisWindowMessaging messaging(QDBusConnection::connectToBus(m_address, "zentrio2"));
    testsupport::FormFixture f(&messaging);
    Form1& w = f.start();
    w.Label11->setText(" before");
    for (QPushButton* b : { w.Command7, w.Command8, w.Command9, w.Command10 })
        QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(!messaging.findWindow("Winamp v1.x"));
    QCOMPARE(f.message(), QString(" before"));
}

void MprisTest::noBusMeansNothingHappens()
{
    MprisWindowMessaging messaging(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nobus"));
    QVERIFY(!messaging.findWindow("Winamp v1.x"));
    testsupport::FormFixture f(&messaging);
    Form1& w = f.start();
    QTest::mouseClick(w.Command7, Qt::LeftButton);
    QCOMPARE(f.message(), QString());
    QCOMPARE(MprisWindowMessaging::methodFor(40022), QString("Stop"));
    QCOMPARE(MprisWindowMessaging::methodFor(12345), QString());
}

QTEST_MAIN(MprisTest)
#include "tst_mpris.moc"
