#pragma once

#include <QString>

// A text fitted to a fixed width: padded with blanks on the right, or cut to
// its first `width` characters. The ID3v1 record's fields are fixed widths and
// the naming's `kiegeszit` fits a text the same way; it lies here, beside the
// ID3v1 trailer rule, because both tag writing and naming build on tag
// reading, so neither has to include the other.
namespace zentrio {

inline QString fittedToWidth(const QString& text, int width)
{
    if (text.size() < width)
        return text + QString(width - text.size(), u' ');
    return text.left(width);
}

} // namespace zentrio
