#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace zentrio {

// A small registry: hives of keys holding typed values, with the status
// codes of a classic registry interface (0 success, else an error code).
class Registry {
public:
    enum class Hive { ClassesRoot, CurrentUser, LocalMachine };
    using Key = std::intptr_t;

    static constexpr long kSuccess = 0;
    static constexpr long kFileNotFound = 2;
    static constexpr long kAccessDenied = 5;
    static constexpr std::uint32_t kString = 1; // REG_SZ
    static constexpr std::uint32_t kDword = 4; // REG_DWORD

    virtual ~Registry() = default;
    virtual long openKey(Hive hive, const QString& path, std::uint32_t access, Key* key) = 0;
    // The value's type and its size in bytes (a string's terminating NUL included).
    virtual long queryInfo(Key key, const QString& name, std::uint32_t* type, std::uint32_t* size) = 0;
    virtual long queryString(Key key, const QString& name, QByteArray* data) = 0;
    virtual long queryDword(Key key, const QString& name, std::uint32_t* data) = 0;
    virtual long deleteValue(Key key, const QString& name) = 0;
    virtual void closeKey(Key key) = 0;
};

// This desktop has no registry. The place that holds the computer's name
// answers with the system's host name; every other key does not exist, so
// the shortcut-arrow value is never found and never deleted.
class DesktopRegistry final : public Registry {
public:
    long openKey(Hive hive, const QString& path, std::uint32_t access, Key* key) override;
    long queryInfo(Key key, const QString& name, std::uint32_t* type, std::uint32_t* size) override;
    long queryString(Key key, const QString& name, QByteArray* data) override;
    long queryDword(Key key, const QString& name, std::uint32_t* data) override;
    long deleteValue(Key key, const QString& name) override;
    void closeKey(Key key) override;

private:
    static constexpr Key kComputerNameKey = 1;
    static QByteArray computerName();
};

} // namespace zentrio
