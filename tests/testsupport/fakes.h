#pragma once

#include "platform/filelauncher.h"
#include "platform/windowmessaging.h"

#include <vector>

namespace testsupport {

// Records the paths it is asked to open; `succeeds` decides the answer.
class FakeLauncher final : public zentrio::FileLauncher {
public:
    bool open(const std::string& path) override
    {
        opened.push_back(path);
        return succeeds;
    }
    std::vector<std::string> opened;
    bool succeeds = true;
};

// A desktop with (or without) one player window; records what is posted to it.
class FakeMessaging final : public zentrio::WindowMessaging {
public:
    struct Posted {
        QString window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::optional<Window> findWindow(const QString& className) override
    {
        lookedUp.push_back(className);
        return playerRunning ? std::optional<Window>(QStringLiteral("player")) : std::nullopt;
    }
    void postMessage(const Window& window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override
    {
        posted.push_back({ window, message, wParam, lParam });
    }
    bool playerRunning = true;
    std::vector<QString> lookedUp;
    std::vector<Posted> posted;
};

} // namespace testsupport
