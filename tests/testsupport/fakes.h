#pragma once

#include "platform/filelauncher.h"
#include "platform/registry.h"
#include "platform/windowmessaging.h"

#include <cstring>
#include <map>
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

// A registry of keys (by hive and path) holding typed values; `openFails`
// answers every open with that code, and every call is counted.
class FakeRegistry final : public zentrio::Registry {
public:
    struct Value {
        std::uint32_t type;
        QByteArray data;
    };
    std::map<std::pair<Hive, QString>, std::map<QString, Value>> keys;
    long openFails = 0;
    int opened = 0;
    int closed = 0;

    long openKey(Hive hive, const QString& path, std::uint32_t access, Key* key) override
    {
        lastAccess = access;
        if (openFails)
            return openFails;
        const auto it = keys.find({ hive, path });
        if (it == keys.end())
            return kFileNotFound;
        ++opened;
        handles.push_back(&it->second);
        *key = static_cast<Key>(handles.size());
        return kSuccess;
    }
    long queryInfo(Key key, const QString& name, std::uint32_t* type, std::uint32_t* size) override
    {
        const Value* v = find(key, name);
        if (!v)
            return kFileNotFound;
        *type = v->type;
        *size = static_cast<std::uint32_t>(v->data.size());
        return kSuccess;
    }
    long queryString(Key key, const QString& name, QByteArray* data) override
    {
        const Value* v = find(key, name);
        if (!v)
            return kFileNotFound;
        *data = v->data;
        return kSuccess;
    }
    long queryDword(Key key, const QString& name, std::uint32_t* data) override
    {
        const Value* v = find(key, name);
        if (!v || v->data.size() != 4)
            return kFileNotFound;
        std::memcpy(data, v->data.constData(), 4);
        return kSuccess;
    }
    long deleteValue(Key key, const QString& name) override
    {
        auto* values = handles.at(static_cast<size_t>(key - 1));
        return values->erase(name) ? kSuccess : kFileNotFound;
    }
    void closeKey(Key) override { ++closed; }

    std::uint32_t lastAccess = 0;

private:
    const Value* find(Key key, const QString& name) const
    {
        const auto* values = handles.at(static_cast<size_t>(key - 1));
        const auto it = values->find(name);
        return it == values->end() ? nullptr : &it->second;
    }
    std::vector<std::map<QString, Value>*> handles;
};

} // namespace testsupport
