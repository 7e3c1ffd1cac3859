#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

// Tag bytes become characters one for one by code page 1252 and go back by
// the same code page. The five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) decode to the code points of the same value, so
// they too come back as the same bytes.
namespace zentrio {

QString decodeCp1252(std::string_view bytes);

// One byte per character; a character the code page cannot encode becomes "?".
QByteArray encodeCp1252(const QString& text);

} // namespace zentrio
