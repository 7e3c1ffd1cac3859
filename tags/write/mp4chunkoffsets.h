#pragma once

#include <cstdint>
#include <string>

// The chunk offsets of an MP4 file's tracks (moov/trak/mdia/minf/stbl,
// "stco" with 32-bit entries, "co64" with 64-bit ones): where each chunk of
// audio lies, counted from the file's start. When the metadata before the
// audio grows, every chunk moves by as much, and so must its offset.
namespace zentrio {

// Moves every offset in the moov of `region` that points at or after
// `oldEnd` (the old region's end, where the audio began) by `delta`. False,
// with `region` part changed, when a table does not parse, an offset points
// into the old region (where no audio lies), or a 32-bit offset would
// overflow.
bool moveChunkOffsets(std::string& region, std::size_t oldEnd, std::int64_t delta);

} // namespace zentrio
