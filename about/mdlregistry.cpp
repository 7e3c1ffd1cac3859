#include "about/mdlregistry.h"

namespace zentrio::mdlRegistry {

void deleteRegistryValue(Registry& registry, Registry::Hive hive, const QString& key, const QString& name)
{
    Registry::Key handle = 0;
    if (registry.openKey(hive, key, kAccess, &handle) != Registry::kSuccess)
        return;
    registry.deleteValue(handle, name);
    registry.closeKey(handle);
}

QVariant readRegistryValue(Registry& registry, Registry::Hive hive, const QString& key, const QString& name)
{
    QVariant value;
    Registry::Key handle = 0;
    if (registry.openKey(hive, key, kAccess, &handle) != Registry::kSuccess)
        return value;
    if (queryRegistryValue(registry, handle, name, value) != Registry::kSuccess)
        value = QVariant();
    registry.closeKey(handle);
    return value;
}

long queryRegistryValue(Registry& registry, Registry::Key key, const QString& name, QVariant& value)
{
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (const long status = registry.queryInfo(key, name, &type, &size); status != Registry::kSuccess)
        return status;
    if (type == Registry::kString) {
        QByteArray buffer(static_cast<qsizetype>(size), '\0');
        const long status = registry.queryString(key, name, &buffer);
        value = status == Registry::kSuccess ? QVariant(QString::fromUtf8(buffer.left(size))) : QVariant(QString());
        return status;
    }
    if (type == Registry::kDword) {
        std::uint32_t number = 0;
        const long status = registry.queryDword(key, name, &number);
        if (status == Registry::kSuccess)
            value = QVariant(number);
        return status;
    }
    return -1;
}

} // namespace zentrio::mdlRegistry
