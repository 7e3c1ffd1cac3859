#pragma once

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <optional>

namespace zentrio {

// Finding another program's window by its class name and posting it a
// message, without waiting for it to be handled.
class WindowMessaging {
public:
    using Window = QString;
    virtual ~WindowMessaging() = default;
    virtual std::optional<Window> findWindow(const QString& className) = 0;
    virtual void postMessage(const Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
        = 0;
};

// This desktop's media players listen on the session bus (MPRIS), not for
// window messages. The player window class is answered by the first running
// MPRIS player, and the player's menu commands posted as WM_COMMAND become
// its MPRIS methods: 40046 PlayPause, 40044 Previous, 40048 Next, 40022 Stop.
// Calls are asynchronous; no bus or no player means nothing happens.
class MprisWindowMessaging final : public WindowMessaging {
public:
    explicit MprisWindowMessaging(QDBusConnection bus = QDBusConnection::sessionBus());

    std::optional<Window> findWindow(const QString& className) override;
    void postMessage(const Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // The MPRIS method for a player command number; empty when there is none.
    static QString methodFor(std::uintptr_t command);

private:
    QDBusConnection m_bus;
};

} // namespace zentrio
