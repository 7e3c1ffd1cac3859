#include "tags/read/cp1252.h"

#include <QList>

#include <algorithm>
#include <array>

namespace zentrio {

namespace {

    // Code points of bytes 0x80..0x9F; the undefined ones map to themselves.
    constexpr std::array<char16_t, 32> kHighControls = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
    };

    char16_t decodeByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : char16_t(b); }

    char encodeCodePoint(char32_t c)
    {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
            return static_cast<char>(c);
        for (size_t i = 0; i < kHighControls.size(); ++i) {
            if (kHighControls[i] == c)
                return static_cast<char>(0x80 + i);
        }
        return '?';
    }

} // namespace

QString decodeCp1252(std::string_view bytes)
{
    // Outside 0x80..0x9F the code page is Latin-1, which Qt decodes fastest.
    const auto high = [](char b) { return (static_cast<unsigned char>(b) & 0xE0) == 0x80; };
    if (std::none_of(bytes.begin(), bytes.end(), high))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* data = out.data();
    for (size_t i = 0; i < bytes.size(); ++i)
        data[i] = QChar(decodeByte(static_cast<unsigned char>(bytes[i])));
    return out;
}

QByteArray encodeCp1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4())
        out.append(encodeCodePoint(c));
    return out;
}

} // namespace zentrio
