#pragma once

#include "tags/read/audiofile.h"
#include "tags/read/tagsource.h"
#include "tags/read/trailer.h"
#include "tags/write/frameedit.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the core asks of TagLib, as one table of functions. TagLib and the
// code that speaks to it live in a module of their own, loaded the first
// time a file needs it: most commands, and folders of files whose tags the
// core's own readers take, never load it, and so never pay for loading and
// relocating TagLib at their start.
namespace zentrio {

// The encoding a rendered text frame takes.
enum class FrameEncoding { Latin1, Utf16, Utf8 };

struct TagLibEntries {
    // The version (ZENTRIO_MODULE_BUILD) and kTagLibLayout of the module's
    // build: a module of another version, or whose types differ, is
    // refused, never called.
    const char* build;
    std::size_t layout;
    std::optional<IdentifiedTag> (*readFormatTag)(const std::string& path, AudioFormat format);
    std::optional<TagFields> (*formatFieldsOf)(std::string_view bytes, AudioFormat format);
    // An ID3v2 tag's bytes, its header checked.
    std::optional<TagFields> (*id3v2FieldsOf)(std::string_view tagBytes);
    QString (*id3v2FirstText)(std::string_view tagBytes, const char* id);
    QStringList (*id3v2FirstValues)(std::string_view tagBytes, const char* id);
    // One text frame with a version 2.4 header (the size syncsafe).
    std::string (*textFrame)(const std::string& id, const QString& text, FrameEncoding encoding);
    // A file without a tag at its start, with a new version 2.3 tag in front
    // (the file as it was when the values make no frame).
    std::string (*withNewId3v2Tag)(const std::string& file, const std::vector<FrameValue>& values);
    // The tag at the file's start rewritten by TagLib; nullopt when TagLib
    // finds no tag there or cannot write it.
    std::optional<std::string> (*withUpdatedId3v2Tag)(const std::string& file, const std::vector<FrameValue>& values);
    // The ID3v1 genre byte of a genre name, 255 when the list has none.
    int (*id3v1GenreIndex)(const QString& name);
};

// The sizes of the table and of the types it passes, and the formats known.
inline constexpr std::size_t kTagLibLayout = sizeof(TagLibEntries) ^ (sizeof(TagFields) << 12)
    ^ (sizeof(IdentifiedTag) << 24) ^ (sizeof(FrameValue) << 36) ^ (std::size_t(AudioFormat::Ape) << 48);

// The name of the module's one exported function, which returns its table.
inline constexpr const char* kTagLibEntriesSymbol = "zentrio_taglib_entries";

} // namespace zentrio
