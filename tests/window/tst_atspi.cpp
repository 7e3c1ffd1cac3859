#include "testsupport/mp3fixture.h"
#include "testsupport/program.h"
#include "testsupport/tempdir.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QFile>
#include <QProcess>
#include <QTest>

// The real program as a screen reader sees it: an accessibility client of
// our own walks the AT-SPI tree over D-Bus (under Xvfb, with a private
// accessibility bus) and hears a row's check box change.
namespace {

struct Node {
    QString service;
    QString path;
};

constexpr int kRoleTable = 55; // ATSPI_ROLE_TABLE

class AtspiClient {
public:
    explicit AtspiClient(const QString& address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("zentrio-a11y")))
    {
    }
    ~AtspiClient() { QDBusConnection::disconnectFromBus(QStringLiteral("zentrio-a11y")); }
    QDBusConnection& bus() { return m_bus; }

    QList<Node> children(const Node& node)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            node.service, node.path, QStringLiteral("org.a11y.atspi.Accessible"), QStringLiteral("GetChildren"));
        const QDBusMessage reply = m_bus.call(call, QDBus::Block, 5000);
        QList<Node> nodes;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return nodes;
        const QDBusArgument array = reply.arguments().first().value<QDBusArgument>();
        array.beginArray();
        while (!array.atEnd()) {
            QString service;
            QDBusObjectPath path;
            array.beginStructure();
            array >> service >> path;
            array.endStructure();
            nodes.append({ service, path.path() });
        }
        array.endArray();
        return nodes;
    }

    QString property(const Node& node, const char* which)
    {
        QDBusInterface properties(node.service, node.path, QStringLiteral("org.freedesktop.DBus.Properties"), m_bus);
        const QDBusReply<QVariant> reply = properties.call(
            QStringLiteral("Get"), QStringLiteral("org.a11y.atspi.Accessible"), QString::fromLatin1(which));
        return reply.isValid() ? reply.value().toString() : QString();
    }
    QString name(const Node& node) { return property(node, "Name"); }

    uint role(const Node& node)
    {
        QDBusInterface accessible(node.service, node.path, QStringLiteral("org.a11y.atspi.Accessible"), m_bus);
        const QDBusReply<uint> reply = accessible.call(QStringLiteral("GetRole"));
        return reply.isValid() ? reply.value() : 0;
    }

    // Every node below `root`, breadth first, at most `limit` of them.
    QList<Node> walk(const Node& root, int limit = 400)
    {
        QList<Node> seen { root };
        for (qsizetype i = 0; i < seen.size() && seen.size() < limit; ++i)
            seen.append(children(seen[i]));
        return seen;
    }

private:
    QDBusConnection m_bus;
};

} // namespace

class AtspiTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aScreenReaderFindsNamesAndTheCheckState();
};

void AtspiTest::aScreenReaderFindsNamesAndTheCheckState()
{
    if (qEnvironmentVariableIsSet("ZENTRIO_NO_ATSPI"))
        QSKIP(qPrintable(qEnvironmentVariable("ZENTRIO_NO_ATSPI")));
    if (qEnvironmentVariableIsSet("ZENTRIO_NO_X"))
        QSKIP(qPrintable(qEnvironmentVariable("ZENTRIO_NO_X")));
    const QString launcherProgram = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
    if (!QFile::exists(launcherProgram))
        QSKIP("at-spi-bus-launcher (at-spi2-core) is not installed");
    QProcess launcherProcess;
    launcherProcess.start(launcherProgram, { QStringLiteral("--launch-immediately") });
    QVERIFY(launcherProcess.waitForStarted());
    QDBusInterface launcher(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"));
    QDBusReply<QString> address;
    for (int i = 0; i < 100 && (!address.isValid() || address.value().isEmpty()); ++i) {
        QTest::qWait(100);
        address = launcher.call(QStringLiteral("GetAddress"));
    }
    if (!address.isValid() || address.value().isEmpty())
        QSKIP("no accessibility bus could be started here");

    testsupport::TempDir home;
    const std::string music = home.path().toStdString() + "/music";
    QDir().mkpath(QString::fromStdString(music));
    testsupport::writeTagged(music, "a.mp3", "One");
    testsupport::writeTagged(music, "b.mp3", "Two");
    QProcess program;
    QVERIFY(testsupport::startProgram(
        program, home.path(), QString::fromStdString(music), { { "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1" } }));

    AtspiClient client(address.value());
    QVERIFY(client.bus().isConnected());
    // The program's root, found on the bus itself rather than through the
    // registry, whose start on demand can lag behind a busy machine.
    Node application;
    const auto found = [&] {
        const QDBusReply<QStringList> peers = client.bus().interface()->registeredServiceNames();
        for (const QString& peer : peers.value()) {
            const Node root { peer, QStringLiteral("/org/a11y/atspi/accessible/root") };
            if (peer.startsWith(u':') && client.name(root) == QLatin1String("zentrio"))
                application = root;
        }
        return !application.service.isEmpty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(found(), 30000);

    QList<Node> nodes;
    QStringList names;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            nodes = client.walk(application);
            names.clear();
            for (const Node& node : nodes)
                names << client.name(node);
            return names.contains(QLatin1String("MP3 files of the folder"));
        }(),
        20000);
    for (const char* expected : { "play", "pause", "previous", "next", "stop", "artist TAG", "album TAG", "song TAG",
             "separator", "artist", "new name" })
        QVERIFY2(names.contains(QLatin1String(expected)), expected);

    // The table's first cells: the check boxes, checkable and toggled through AT-SPI.
    Node table;
    for (const Node& node : nodes) {
        if (client.role(node) == kRoleTable && client.name(node) == QLatin1String("MP3 files of the folder"))
            table = node;
    }
    QVERIFY(!table.service.isEmpty());
    Node box;
    for (const Node& cell : client.children(table)) {
        if (client.name(cell) == QLatin1String("a.mp3")) {
            box = cell;
            break;
        }
    }
    QVERIFY2(!box.service.isEmpty(), "no cell for a.mp3");
    QCOMPARE(client.property(box, "Description"), QString("not checked"));

    // A click on the first row and Space, made on the X server, check it;
    // the screen reader then reads the new state.
    if (QProcess::execute("xdotool", { "search", "--sync", "--name", "Zentrio and TAG editor", "windowfocus", "--sync",
            "mousemove", "--window", "%1", "150", "44", "click", "1", "sleep", "0.3", "key", "space" })
        != 0)
        QSKIP("xdotool cannot type here");
    QTRY_COMPARE_WITH_TIMEOUT(client.property(box, "Description"), QString("checked"), 10000);

    // The Menu key opens the row's pop-up menu: while it is open, it is in
    // the tree with its name, and its description carries the two names.
    QProcess::execute("xdotool", { "key", "Menu" });
    QString described;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const Node& node : client.walk(application, 600)) {
                if (client.name(node) == QLatin1String("file menu"))
                    described = client.property(node, "Description");
            }
            return !described.isEmpty();
        }(),
        10000);
    QCOMPARE(described, QString("filename: a.mp3; new name: 01-One.mp3"));
    QProcess::execute("xdotool", { "key", "Escape" });

    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    launcherProcess.terminate();
    launcherProcess.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(AtspiTest)
#include "tst_atspi.moc"
