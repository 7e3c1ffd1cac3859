#include "platform/registry.h"

#include <QSysInfo>

namespace zentrio {

namespace {

    const QString kComputerNamePath = QStringLiteral("System\\CurrentControlset\\Control\\ComputerName\\ComputerName\\");
    const QString kComputerNameValue = QStringLiteral("ComputerName");

} // namespace

QByteArray DesktopRegistry::computerName() { return QSysInfo::machineHostName().toUtf8() + '\0'; }

long DesktopRegistry::openKey(Hive hive, const QString& path, std::uint32_t, Key* key)
{
    if (hive != Hive::LocalMachine || path.compare(kComputerNamePath, Qt::CaseInsensitive) != 0)
        return kFileNotFound;
    *key = kComputerNameKey;
    return kSuccess;
}

long DesktopRegistry::queryInfo(Key key, const QString& name, std::uint32_t* type, std::uint32_t* size)
{
    if (key != kComputerNameKey || name.compare(kComputerNameValue, Qt::CaseInsensitive) != 0)
        return kFileNotFound;
    *type = kString;
    *size = static_cast<std::uint32_t>(computerName().size());
    return kSuccess;
}

long DesktopRegistry::queryString(Key key, const QString& name, QByteArray* data)
{
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (const long status = queryInfo(key, name, &type, &size); status != kSuccess)
        return status;
    *data = computerName();
    return kSuccess;
}

long DesktopRegistry::queryDword(Key, const QString&, std::uint32_t*) { return kFileNotFound; }

long DesktopRegistry::deleteValue(Key, const QString&) { return kFileNotFound; }

void DesktopRegistry::closeKey(Key) { }

} // namespace zentrio
