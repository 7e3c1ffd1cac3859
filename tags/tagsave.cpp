#include "tags/tagsave.h"

#include "platform/fsops.h"
#include "rename/compose.h"
#include "tags/cp1252.h"
#include "tags/id3v2save.h"
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

    // Where the record goes: over a record in the file's last 128 bytes,
    // otherwise at the end, so audio is never overwritten.
    std::int64_t recordOffset(std::string_view window, std::int64_t fileLength)
    {
        const bool standardRecord = findMarker(window) == kStandardMarkerPosition;
        return standardRecord ? fileLength - kRecordSize : fileLength;
    }

    bool saveId3v1(const std::string& path, const TagEdit& edit, int year)
    {
        const auto window = readTrailerWindow(path);
        if (!window)
            return false;
        const std::int64_t offset = recordOffset(window->bytes, window->fileLength);
        return fs::writeAt(path, offset, buildTagRecord(edit, year).toStdString());
    }

    // Both tags in one new file that replaces the old one whole, so a
    // failure at any step leaves the old file byte for byte as it was.
    bool saveBothTags(const std::string& path, const TagEdit& edit, int year)
    {
        if (!readTrailerWindow(path))
            return false; // the same files fail as with the record alone
        const auto original = fs::readWholeFile(path);
        if (!original)
            return false;
        auto content = withId3v2Fields(*original, edit);
        if (!content || content->size() <= kWindowSize)
            return false;
        const auto length = static_cast<std::int64_t>(content->size());
        const std::string_view window = std::string_view(*content).substr(content->size() - kWindowSize - 1, kWindowSize);
        const auto offset = static_cast<std::size_t>(recordOffset(window, length));
        content->replace(offset, content->size() - offset, buildTagRecord(edit, year).toStdString());
        return fs::replaceFileAtomically(path, *content);
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

bool saveTag(const std::string& path, const TagEdit& edit, int year, TagSource source)
{
    return source == TagSource::Id3v2First ? saveBothTags(path, edit, year) : saveId3v1(path, edit, year);
}

} // namespace zentrio
