#include "platform/windowmessaging.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace zentrio {

namespace {

    const QString kPlayerWindowClass = QStringLiteral("Winamp v1.x");
    const QString kMprisPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
    constexpr std::uint32_t kWmCommand = 0x0111;

} // namespace

MprisWindowMessaging::MprisWindowMessaging(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

std::optional<WindowMessaging::Window> MprisWindowMessaging::findWindow(const QString& className)
{
    if (className != kPlayerWindowClass || !m_bus.isConnected() || !m_bus.interface())
        return std::nullopt;
    QStringList players;
    for (const QString& name : m_bus.interface()->registeredServiceNames().value()) {
        if (name.startsWith(kMprisPrefix))
            players << name;
    }
    if (players.isEmpty())
        return std::nullopt;
    players.sort();
    return players.first();
}

QString MprisWindowMessaging::methodFor(std::uintptr_t command)
{
    switch (command) {
    case 40046:
        return QStringLiteral("PlayPause");
    case 40044:
        return QStringLiteral("Previous");
    case 40048:
        return QStringLiteral("Next");
    case 40022:
        return QStringLiteral("Stop");
    default:
        return {};
    }
}

void MprisWindowMessaging::postMessage(const Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t)
{
    const QString method = methodFor(wParam);
    if (message != kWmCommand || method.isEmpty())
        return;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        window, QStringLiteral("/org/mpris/MediaPlayer2"), QStringLiteral("org.mpris.MediaPlayer2.Player"), method);
    m_bus.asyncCall(call);
}

} // namespace zentrio
