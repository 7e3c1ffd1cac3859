#pragma once

#include <QJsonObject>
#include <QString>

#include <string>

// How a path goes into JSON, the same in plan files and the command line's
// --json output, so that a path that is not valid text keeps its bytes.
namespace zentrio {

// A path in a JSON object: as text (bytes that are not UTF-8 shown as
// U+FFFD) and, when it is not valid UTF-8, its bytes as hex under KEY_hex.
void putPath(QJsonObject& object, const QString& key, const std::string& path);

} // namespace zentrio
