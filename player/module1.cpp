#include "player/module1.h"

#include "platform/windowmessaging.h"

namespace zentrio::Module1 {

void playercommand(WindowMessaging& messaging, int number)
{
    const auto window = messaging.findWindow(QStringLiteral("Winamp v1.x"));
    if (window)
        messaging.postMessage(*window, WM_COMMAND, static_cast<std::uintptr_t>(number), 0);
}

} // namespace zentrio::Module1
