#pragma once

#include "platform/registry.h"

#include <QVariant>

namespace zentrio {

// `mdlRegistry`: reading and deleting one registry value.
namespace mdlRegistry {

    // Query value, set value, create subkey, enumerate subkeys, notify, create link.
    inline constexpr std::uint32_t kAccess = 0x3F;

    // Opens the key, deletes the value, closes the key; reports nothing.
    void deleteRegistryValue(Registry& registry, Registry::Hive hive, const QString& key, const QString& name);

    // The value (a string keeps its terminating NUL), or an empty value when anything fails.
    QVariant readRegistryValue(Registry& registry, Registry::Hive hive, const QString& key, const QString& name);

    // 0 on success, the registry's code when the value cannot be sized, -1 for
    // a type other than string and 32-bit number (value left as it was).
    long queryRegistryValue(Registry& registry, Registry::Key key, const QString& name, QVariant& value);

} // namespace mdlRegistry

} // namespace zentrio
