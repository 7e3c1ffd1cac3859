#include "tags/write/taglayout.h"

#include "platform/fs/digest.h"
#include "tags/read/id3v2.h"
#include "tags/read/formatguard.h"
#include "tags/write/endregion.h"
#include "tags/write/startregion.h"

#include <climits>
#include <cstdlib>

namespace zentrio {

namespace {

    // The ID3v2 tags at the file's start, one after another: TagLib takes a
    // tag right after the first for a copy of it and writes over it.
    std::size_t regionSizeOf(const fs::FileReader& file)
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

    // The metadata at a file's start as its region; false for damaged
    // metadata, which no write touches.
    bool readStartRegion(const fs::FileReader& file, const StartRegionFormat& format, TagLayout& layout)
    {
        const auto end = format.regionEnd(
            [&](std::int64_t offset, std::size_t count) { return file.readAt(offset, count); }, layout.length);
        if (!end || !safeForTagLib(file, layout.format))
            return false;
        layout.regionRead = true;
        auto bytes = file.readAt(0, *end);
        if (!bytes)
            return false;
        layout.region = std::move(*bytes);
        return true;
    }

    // The metadata after the audio as its region, with the metadata before
    // it that the fields are read with; false for a layout no write touches.
    bool readEndRegion(const fs::FileReader& file, const EndRegionFormat& format, TagLayout& layout)
    {
        const auto place = format.place(
            [&](std::int64_t offset, std::size_t count) { return file.readAt(offset, count); }, layout.length);
        if (!place || !safeForTagLib(file, layout.format))
            return false;
        layout.regionRead = layout.regionAtEnd = true;
        layout.regionOffset = place->offset;
        layout.contextRanges = place->context;
        layout.context.clear();
        for (const auto& [offset, size] : place->context) {
            const auto bytes = file.readAt(offset, static_cast<std::size_t>(size));
            if (!bytes)
                return false;
            layout.context += *bytes;
        }
        const std::int64_t before = std::min<std::int64_t>(place->offset, kRecordSize);
        auto region = file.readAt(place->offset, static_cast<std::size_t>(layout.length - place->offset));
        auto last = file.readAt(place->offset - before, static_cast<std::size_t>(before));
        if (!region || !last)
            return false;
        layout.region = std::move(*region);
        layout.beforeRegion = std::move(*last);
        return true;
    }

    // The region at the start where the format keeps one, else at the end
    // (an MP4 file's moov comes first or last); false when neither reads.
    bool readRegion(const fs::FileReader& file, TagLayout& layout)
    {
        const auto startRegion = startRegionFormat(layout.format);
        if (startRegion && readStartRegion(file, *startRegion, layout))
            return true;
        layout.regionRead = false;
        const auto endRegion = endRegionFormat(layout.format);
        return endRegion && readEndRegion(file, *endRegion, layout);
    }

    // A link named for another format ("song.m4a") whose file has a name
    // that gives none ("store/blob"): the file would be taken for MP3 and
    // given an ID3 tag before its own metadata, so it is left alone.
    bool namesAnotherFormat(const std::string& named, const std::string& file)
    {
        const auto byName = audioFormatOf(named);
        return !audioFormatOf(file) && byName && *byName != AudioFormat::Mp3;
    }

    // The first bytes after an MP3 file's ID3v2 tags hold another format's
    // signature: the file is FLAC, Ogg, MP4, RIFF, AIFF, APE or WavPack under
    // an MP3 name, and an ID3v2 tag or an ID3v1 record written into it would
    // hide its own metadata from the players that read it.
    bool startsAsAnotherFormat(std::string_view start)
    {
        for (const std::string_view magic : { "fLaC", "OggS", "RIFF", "FORM", "MAC ", "wvpk" }) {
            if (start.starts_with(magic))
                return true;
        }
        return start.size() >= 8 && start.substr(4, 4) == "ftyp";
    }

} // namespace

bool holdsAnotherFormat(const std::string& path)
{
    const fs::FileReader file(linkTarget(path));
    const std::size_t region = file.isOpen() ? regionSizeOf(file) : 0;
    const auto start = file.isOpen() ? file.readAt(static_cast<std::int64_t>(region), 12) : std::nullopt;
    return start && startsAsAnotherFormat(*start);
}

bool endsWithRecord(std::string_view window) { return findMarker(window) == kStandardMarkerPosition; }

std::optional<TagLayout> readTagLayout(const std::string& named, bool withRegion)
{
    TagLayout layout;
    layout.path = linkTarget(named);
    const fs::FileReader file(layout.path);
    const auto tailSize = static_cast<std::int64_t>(kWindowSize + 1);
    if (!file.isOpen() || file.length() < tailSize)
        return std::nullopt;
    layout.identity = file.identity();
    layout.length = file.length();
    auto tail = file.readAt(layout.length - tailSize, kWindowSize + 1);
    if (!tail)
        return std::nullopt;
    layout.tail = std::move(*tail);
    layout.format = audioFormatOf(layout.path).value_or(AudioFormat::Mp3); // the file itself, as undo finds it
    if (namesAnotherFormat(named, layout.path))
        return std::nullopt;
    if (layout.format != AudioFormat::Mp3 && !readRegion(file, layout))
        return std::nullopt;
    if (layout.format == AudioFormat::Mp3 && endsWithRecord(layout.window()))
        layout.record = layout.tail.substr(layout.tail.size() - kRecordSize);
    const std::size_t region = layout.format == AudioFormat::Mp3 ? regionSizeOf(file) : 0;
    if (withRegion && layout.format == AudioFormat::Mp3) {
        layout.regionFits = static_cast<std::int64_t>(region) <= layout.length;
        if (layout.regionFits && region > 0) {
            constexpr std::size_t kFollowing = 4096;
            auto bytes = file.readAt(0, std::min<std::size_t>(region + kFollowing, static_cast<std::size_t>(layout.length)));
            if (!bytes)
                return std::nullopt;
            layout.following = bytes->substr(region);
            bytes->resize(region);
            layout.region = std::move(*bytes);
        }
        layout.regionRead = true;
    }
    // What follows the tags, as read with the region or on its own.
    if (layout.format == AudioFormat::Mp3 && static_cast<std::int64_t>(region) < layout.length) {
        const auto start = layout.region.empty() ? file.readAt(static_cast<std::int64_t>(region), 12)
                                                 : std::optional(layout.following.substr(0, 12));
        if (start && startsAsAnotherFormat(*start))
            return std::nullopt;
    }
    const auto slash = layout.path.rfind('/');
    layout.inodesIdentify = fs::inodesIdentifyFiles(slash == std::string::npos ? "." : layout.path.substr(0, slash + 1));
    return layout;
}

fs::Expectation TagLayout::expectation() const
{
    fs::Expectation expected { identity.device, identity.inode, inodesIdentify, length, {}, 0 };
    Digest digest;
    if (regionRead && !region.empty()) {
        expected.ranges.push_back({ regionOffset, static_cast<std::int64_t>(region.size()) });
        digest.add(region);
    }
    if (!contextRanges.empty()) {
        expected.ranges.insert(expected.ranges.end(), contextRanges.begin(), contextRanges.end());
        digest.add(context);
    }
    expected.ranges.push_back({ length - static_cast<std::int64_t>(tail.size()), static_cast<std::int64_t>(tail.size()) });
    digest.add(tail);
    expected.digest = digest.value();
    return expected;
}

std::string TagLayout::lastBytesWith(std::string_view newRegion) const
{
    const auto lastOf = [](std::string_view bytes) {
        return std::string(bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), kRecordSize)));
    };
    return lastOf(beforeRegion + lastOf(newRegion));
}

std::string linkTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

} // namespace zentrio
