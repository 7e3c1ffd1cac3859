#pragma once

#include "platform/fs/patchfile.h"
#include "tags/read/audiofile.h"
#include "tags/write/startregion.h"
#include "tags/write/tagvalues.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The formats whose tags lie after the audio, in one stretch of bytes that
// runs to the file's end: a WAV or AIFF file's ID3 chunk (with the chunks
// after it that hold no audio), an MP4 file's movie atom where the audio
// comes first. A write replaces that stretch (the region) at its offset: in
// place when the new one keeps its size, else by writing the bytes that
// change and cutting or extending the file at its end. No audio byte moves,
// so no offset into the audio changes. A file without an ID3 chunk gets one
// appended: its region is empty, at the file's end.
namespace zentrio {

// Where a file's region begins, and the metadata before it that TagLib
// reads the fields with (a RIFF file's header and its INFO list, an MP4
// file's ftyp): every stretch of it as an offset and a size.
struct EndRegionPlace {
    std::int64_t offset = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> context;
};

// The most bytes of metadata before the region that are read with it.
inline constexpr std::int64_t kMaxRegionContext = 1024 * 1024;

struct EndRegionFormat {
    // Where the region begins in a file of `length` bytes; nullopt for a
    // layout no write touches (damaged sizes, a tag before the audio, two
    // tags).
    std::optional<EndRegionPlace> (*place)(const RegionReadAt& read, std::int64_t length);
    // The region with the values written into it, every other byte of
    // metadata kept; nullopt when it cannot take them.
    std::optional<std::string> (*withValues)(std::string_view region, const TagValues& values);
    // The file's length less 8, at offset 4 (RIFF: little-endian, FORM:
    // big-endian), written anew when the length changes.
    enum class SizeField { None, Little, Big } sizeField = SizeField::None;
};

// nullopt for a format whose tags are not written this way.
std::optional<EndRegionFormat> endRegionFormat(AudioFormat format);

// Every format of the table.
AudioFormats endRegionFormats();

// False when a file of the format cannot be `length` bytes long: a RIFF or
// FORM file's size field holds 32 bits.
bool lengthFits(const EndRegionFormat& format, std::int64_t length);

// The write of the size field for a file of `length` bytes; nullopt for a
// format without one.
std::optional<fs::Patch> sizeFieldPatch(const EndRegionFormat& format, std::int64_t length);

} // namespace zentrio
