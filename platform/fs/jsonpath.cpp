#include "platform/fs/jsonpath.h"

#include "platform/fs/filenames.h"

#include <QByteArray>

namespace zentrio {

void putPath(QJsonObject& object, const QString& key, const std::string& path)
{
    object.insert(key, nameForDisplay(path));
    if (!isValidUtf8(path))
        object.insert(key + "_hex", QString::fromLatin1(QByteArray::fromStdString(path).toHex()));
}

} // namespace zentrio
