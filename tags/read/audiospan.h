#pragma once

#include "platform/fs/fsops.h"
#include "tags/read/audiofile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Where a file's audio lies: the bytes between its tags, so that two copies
// that differ only in their tags hold the same span. MP3, WavPack and APE:
// after the ID3v2 tags at the start (one after another) and before the
// trailers at the end (an ID3v1 record, with the 227 bytes of an extended
// "TAG+" block before it or not, APEv2 tags, Lyrics3 blocks, ID3v2.4 tags
// with a footer, in any order). FLAC, Ogg and Opus: after the metadata
// region a tag write replaces (tags/write/startregion.h), and for FLAC
// before an ID3v1 record. MP4: the body of the one mdat atom. WAV and AIFF:
// the body of the data or SSND chunk. A file whose structures claim more bytes than it holds, or that
// leaves no audio between its tags, has no span: a guessed one could call
// two different files the same.
namespace zentrio {

struct AudioSpan {
    std::int64_t begin = 0;
    std::int64_t end = 0; // past the last byte
    // The bytes, kept apart from the span, that say how it is played: a WAV
    // file's fmt chunk, an AIFF file's COMM chunk, an MP4 file's sample
    // descriptions (stsd); empty where the audio's frames say it themselves.
    // The same span under another description is other audio.
    std::string described;
    std::int64_t length() const { return end - begin; }
};

struct SpanFound {
    std::optional<AudioSpan> span;
    std::string reason; // why there is none
};

// Exactly `count` bytes from `offset`, or nullopt.
using SpanReadAt = std::function<std::optional<std::string>(std::int64_t offset, std::size_t count)>;

SpanFound audioSpanOf(const SpanReadAt& read, std::int64_t length, AudioFormat format);

// The same for an open file.
SpanFound audioSpanOf(const fs::FileReader& file, AudioFormat format);

} // namespace zentrio
