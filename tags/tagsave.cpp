#include "tags/tagsave.h"

#include "platform/fsops.h"
#include "rename/compose.h"
#include "tags/cp1252.h"
#include "tags/trailer.h"

namespace zentrio {

namespace {

    QByteArray fittedField(const QString& text)
    {
        QByteArray bytes = encodeCp1252(kiegeszit(text, kFieldWidth));
        // A character outside the Basic Multilingual Plane counts two in the
        // text but encodes to one "?": keep the field at exactly 30 bytes.
        bytes = bytes.left(kFieldWidth);
        return bytes + QByteArray(kFieldWidth - bytes.size(), ' ');
    }

} // namespace

QByteArray buildTagRecord(const TagEdit& edit, int year)
{
    QByteArray record("TAG");
    record += fittedField(edit.song);
    record += fittedField(edit.artist);
    record += fittedField(edit.album);
    record += QString::number(year).rightJustified(4, u'0').right(4).toLatin1();
    record += QByteArray(30, ' ');
    record += char(12);
    return record;
}

bool saveTag(const std::string& path, const TagEdit& edit, int year)
{
    const auto window = readTrailerWindow(path);
    if (!window)
        return false;
    const bool standardRecord = findMarker(window->bytes) == kStandardMarkerPosition;
    const std::int64_t offset = standardRecord ? window->fileLength - kRecordSize : window->fileLength;
    return fs::writeAt(path, offset, buildTagRecord(edit, year).toStdString());
}

} // namespace zentrio
