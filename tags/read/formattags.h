#pragma once

#include "tags/read/audiofile.h"
#include "tags/read/tagsource.h"

#include <optional>
#include <string>

// The fields of the audio files that are not MP3 (FLAC, Ogg Vorbis, Opus,
// FLAC in Ogg, MP4, WAV, AIFF, WavPack, APE), read through TagLib: its
// property map gives every format's fields under one set of names, and one
// table here maps those onto Zentrio's.
namespace zentrio {

// The file's fields and the identity of the file that was read. nullopt
// when the file cannot be opened, is not a regular file, or is not a file
// of its format that TagLib can read. A file without metadata reads as a
// tag that was not found.
std::optional<IdentifiedTag> readFormatTag(const std::string& path, AudioFormat format);

// The same read of a file's first bytes in memory (its metadata, and what
// follows as far as it is given).
std::optional<TagFields> formatFieldsOf(std::string_view bytes, AudioFormat format);

} // namespace zentrio
