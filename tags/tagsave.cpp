#include "tags/tagsave.h"

#include "platform/fsops.h"
#include "platform/patchfile.h"
#include "rename/journal.h"
#include "rename/compose.h"
#include "tags/cp1252.h"
#include "tags/id3v2save.h"
#include "tags/id3v2.h"
#include "tags/trailer.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

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

    // The writes of a save that fits in the tag's old region: the region,
    // and the ID3v1 record where the designed save puts it. nullopt when the
    // tag must grow (or the file is too small to keep the two apart).
    std::optional<std::vector<fs::Patch>> inPlacePatches(const std::string& path, const TagEdit& edit, int year)
    {
        constexpr std::size_t kFollowing = 4096; // bytes after the region that the rewrite must keep
        const fs::FileReader file(path);
        const std::size_t region = file.isOpen() ? id3v2RegionOf(file) : 0;
        const auto length = file.length();
        if (region == 0 || static_cast<std::int64_t>(region + kWindowSize + 1) > length)
            return std::nullopt;
        const auto start = file.readAt(0, std::min<std::size_t>(static_cast<std::size_t>(length), region + kFollowing));
        const auto window = file.readAt(length - static_cast<std::int64_t>(kWindowSize) - 1, kWindowSize);
        if (!start || !window)
            return std::nullopt;
        auto tag = id3v2RegionInPlace(*start, region, edit);
        if (!tag)
            return std::nullopt;
        return std::vector<fs::Patch> { { 0, std::move(*tag) },
            { recordOffset(*window, length), buildTagRecord(edit, year).toStdString() } };
    }

    // Both tags: in place when the new tag fits in the old one's room, so
    // only the tag and the record are written; otherwise in one new file
    // that replaces the old one whole. Either way a failure at any step
    // leaves the old file byte for byte as it was. A file with other hard
    // links is never replaced by a new one: that would split it in two.
    bool saveBothTags(const std::string& named, const TagEdit& edit, int year)
    {
        if (!readTrailerWindow(named))
            return false; // the same files fail as with the record alone
        const std::string path = linkTarget(named);
        if (const auto patches = inPlacePatches(path, edit, year))
            return fs::patchFile(path, *patches, tagCopyFolder());
        return saveGrownTags(path, edit, year);
    }

} // namespace

std::optional<fs::FilePatches> inPlaceTagSave(const std::string& named, const TagEdit& edit, int year)
{
    if (!readTrailerWindow(named))
        return std::nullopt;
    const std::string path = linkTarget(named);
    auto patches = inPlacePatches(path, edit, year);
    if (!patches)
        return std::nullopt;
    return fs::FilePatches { path, std::move(*patches) };
}

bool saveGrownTags(const std::string& path, const TagEdit& edit, int year)
{
    if (hasOtherLinks(path))
        return false;
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

std::string linkTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool hasOtherLinks(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_nlink > 1;
}

std::size_t id3v2RegionOf(const fs::FileReader& file)
{
    std::size_t region = 0;
    while (region + kId3v2HeaderSize <= static_cast<std::size_t>(file.length())) {
        const auto header = file.readAt(static_cast<std::int64_t>(region), kId3v2HeaderSize);
        const std::size_t next = header ? id3v2TagSize(*header) : 0;
        if (next == 0)
            break;
        region += next;
    }
    return region;
}

std::string tagCopyFolder() { return stateDirectory() + "/tagsaves"; }

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
