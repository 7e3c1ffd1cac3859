#include "tags/read/audiospan.h"

#include "tags/read/id3v2.h"
#include "tags/write/startregion.h"

#include <algorithm>
#include <string_view>

namespace zentrio {

namespace {

    constexpr std::size_t kBlock = 4096;
    constexpr int kMostStructures = 4096; // atoms, chunks, tags in a row: more is no real file
    constexpr std::int64_t kMostDescribed = 64 * 1024; // of a format description: real ones are far smaller
    constexpr std::int64_t kExtendedRecord = 227; // a "TAG+" block before an ID3v1 record

    // The file's first and last 4 KiB read once each, so that a header, a
    // chain of tags and every trailer check cost two reads in all.
    class CachedReads {
    public:
        CachedReads(const SpanReadAt& read, std::int64_t length)
            : m_read(read)
            , m_length(length)
        {
        }
        std::optional<std::string> operator()(std::int64_t offset, std::size_t count)
        {
            if (offset < 0 || count > std::size_t(m_length) || offset > m_length - std::int64_t(count))
                return std::nullopt;
            const std::int64_t block = std::min<std::int64_t>(m_length, kBlock);
            if (offset + std::int64_t(count) <= block)
                return from(m_head, 0, block, offset, count);
            if (offset >= m_length - block)
                return from(m_tail, m_length - block, block, offset, count);
            return m_read(offset, count);
        }

    private:
        std::optional<std::string> from(std::optional<std::string>& cache, std::int64_t start, std::int64_t size,
            std::int64_t offset, std::size_t count)
        {
            if (!cache)
                cache = m_read(start, std::size_t(size));
            if (!cache)
                return std::nullopt;
            return cache->substr(std::size_t(offset - start), count);
        }
        const SpanReadAt& m_read;
        std::int64_t m_length;
        std::optional<std::string> m_head, m_tail;
    };

    SpanFound none(std::string reason) { return { std::nullopt, std::move(reason) }; }

    std::uint32_t le32(std::string_view bytes, std::size_t at)
    {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
        return value;
    }

    std::uint32_t be32(std::string_view bytes, std::size_t at)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
        return value;
    }

    bool holds(CachedReads& read, std::int64_t at, std::string_view text)
    {
        const auto bytes = read(at, text.size());
        return bytes && *bytes == text;
    }

    // Past the ID3v2 tags that follow one another from the file's start.
    std::optional<std::int64_t> afterId3v2(CachedReads& read, std::int64_t length, std::string& reason)
    {
        std::int64_t at = 0;
        for (int tags = 0; tags < kMostStructures; ++tags) {
            const auto header = read(at, kId3v2HeaderSize);
            const std::size_t size = header ? id3v2TagSize(*header) : 0;
            if (size == 0)
                return at;
            if (std::int64_t(size) > length - at) {
                reason = "its ID3v2 tag claims more bytes than the file holds";
                return std::nullopt;
            }
            at += std::int64_t(size);
        }
        reason = "too many ID3v2 tags in a row";
        return std::nullopt;
    }

    // An ID3v2.4 tag put at the end of the file, found from its footer (the
    // header's ten bytes with "3DI" for "ID3"): the tag's bytes, or 0 when
    // the footer is none after all (no header where it points), so that
    // the bytes stay audio.
    std::int64_t appendedId3v2(CachedReads& read, std::int64_t room, std::int64_t end)
    {
        std::string header = *read(end - 10, 10);
        header.replace(0, 3, "ID3");
        const bool footer = static_cast<unsigned char>(header[5]) & 0x10;
        const auto size = std::int64_t(id3v2TagSize(header)); // with its header and its footer
        if (!footer || size == 0 || size > room)
            return 0;
        const auto start = read(end - size, kId3v2HeaderSize);
        return start && start->substr(0, 3) == "ID3" && start->substr(3) == header.substr(3) ? size : 0;
    }

    // The bytes of one trailer that ends at `end`: 0 for none, -1 for one
    // that claims more than lies between `begin` and `end`.
    std::int64_t trailerBefore(CachedReads& read, std::int64_t begin, std::int64_t end)
    {
        const std::int64_t room = end - begin;
        if (room >= 128 && holds(read, end - 128, "TAG"))
            return room >= 128 + kExtendedRecord && holds(read, end - 128 - kExtendedRecord, "TAG+")
                ? 128 + kExtendedRecord
                : 128;
        if (room >= 2 * std::int64_t(kId3v2HeaderSize) && holds(read, end - 10, "3DI"))
            return appendedId3v2(read, room, end);
        if (room >= 32 && holds(read, end - 32, "APETAGEX")) {
            const auto footer = read(end - 32, 32);
            const std::int64_t size = le32(*footer, 12) + ((le32(*footer, 20) & 0x80000000u) ? 32 : 0);
            return le32(*footer, 12) >= 32 && size <= room ? size : -1;
        }
        if (room >= 15 && holds(read, end - 9, "LYRICS200")) {
            const auto digits = read(end - 15, 6);
            std::int64_t size = 0;
            for (const char c : *digits)
                size = c >= '0' && c <= '9' ? size * 10 + (c - '0') : -1'000'000;
            size += 15;
            return size >= 26 && size <= room && holds(read, end - size, "LYRICSBEGIN") ? size : -1;
        }
        if (room >= 20 && holds(read, end - 9, "LYRICSEND")) {
            const std::int64_t window = std::min<std::int64_t>(room, 5100 + 20);
            const auto bytes = read(end - window, std::size_t(window));
            const std::size_t at = bytes ? bytes->find("LYRICSBEGIN") : std::string::npos;
            return at == std::string::npos ? -1 : window - std::int64_t(at);
        }
        return 0;
    }

    SpanFound betweenTags(CachedReads& read, std::int64_t begin, std::int64_t end)
    {
        for (int trailers = 0; trailers < kMostStructures; ++trailers) {
            const std::int64_t size = trailerBefore(read, begin, end);
            if (size < 0)
                return none("a tag at its end claims more bytes than the file holds");
            if (size == 0)
                return { AudioSpan { begin, end, {} }, {} };
            end -= size;
        }
        return none("too many tags at its end");
    }

    // The sample descriptions (stsd atoms, header and body) of every track
    // below the atoms in [begin, end), in order: the codec and its setup.
    void sampleDescriptions(CachedReads& read, std::int64_t begin, std::int64_t end, int& budget, std::string& out)
    {
        for (std::int64_t at = begin; at + 8 <= end && budget-- > 0;) {
            const auto header = read(at, 8);
            const std::int64_t size = header ? be32(*header, 0) : 0;
            if (size < 8 || size > end - at)
                return; // a 64-bit size or a damaged atom: what was found stands
            const std::string type = header->substr(4);
            if (type == "trak" || type == "mdia" || type == "minf" || type == "stbl")
                sampleDescriptions(read, at + 8, at + size, budget, out);
            else if (const auto body = type == "stsd" ? read(at + 8, std::size_t(std::min(size - 8, kMostDescribed)))
                                                      : std::nullopt)
                out += *header + *body;
            at += size;
        }
    }

    SpanFound mp4Span(CachedReads& read, std::int64_t length)
    {
        std::optional<AudioSpan> span;
        std::optional<std::pair<std::int64_t, std::int64_t>> moov;
        std::int64_t at = 0;
        for (int atoms = 0; at < length; ++atoms) {
            const auto header = atoms < kMostStructures ? read(at, 8) : std::nullopt;
            if (!header)
                return none("its MP4 atoms cannot be followed to the end of the file");
            std::int64_t size = be32(*header, 0);
            std::int64_t headerSize = 8;
            if (size == 1) {
                const auto wide = read(at + 8, 8);
                size = wide ? std::int64_t(std::min<std::uint64_t>(
                           (std::uint64_t(be32(*wide, 0)) << 32) | be32(*wide, 4), std::uint64_t(length) + 1))
                            : 0;
                headerSize = 16;
            } else if (size == 0) {
                size = length - at; // the last atom, to the end of the file
            }
            if (size < headerSize || size > length - at)
                return none("an MP4 atom claims more bytes than the file holds");
            if (header->substr(4) == "mdat") {
                if (span)
                    return none("more than one mdat atom");
                span = AudioSpan { at + headerSize, at + size, {} };
            } else if (header->substr(4) == "moov" && !moov) {
                moov = { at + headerSize, at + size };
            }
            at += size;
        }
        if (!span)
            return none("no mdat atom");
        int budget = kMostStructures;
        if (moov)
            sampleDescriptions(read, moov->first, moov->second, budget, span->described);
        return { span, {} };
    }

    // WAV (little-endian sizes) or AIFF (big-endian): the body of the audio chunk.
    SpanFound chunkSpan(CachedReads& read, std::int64_t length, bool aiff)
    {
        const auto head = read(0, 12);
        const std::string_view form = head ? std::string_view(*head) : std::string_view();
        const bool known = aiff ? form.starts_with("FORM") && (form.substr(8) == "AIFF" || form.substr(8) == "AIFC")
                                : form.starts_with("RIFF") && form.substr(8) == "WAVE";
        if (!known)
            return none(aiff ? "no AIFF header" : "no RIFF WAVE header");
        const std::string_view audio = aiff ? "SSND" : "data";
        const std::string_view description = aiff ? "COMM" : "fmt ";
        std::optional<AudioSpan> span;
        std::optional<std::string> described;
        std::int64_t at = 12;
        for (int chunks = 0; chunks < kMostStructures && at + 8 <= length && !(span && described); ++chunks) {
            const auto header = read(at, 8);
            if (!header)
                break;
            const std::int64_t size = aiff ? be32(*header, 4) : le32(*header, 4);
            if (size > length - at - 8 && span)
                break; // past the audio (a COMM chunk after it is looked for): the span stands
            if (size > length - at - 8)
                return none("a chunk claims more bytes than the file holds");
            const std::string_view type = std::string_view(*header).substr(0, 4);
            if (type == audio && !span)
                span = AudioSpan { at + 8, at + 8 + size, {} };
            else if (type == description && !described)
                described = read(at + 8, std::size_t(std::min(size, kMostDescribed)));
            at += 8 + size + (size & 1);
        }
        if (!span)
            return none(aiff ? "no SSND chunk" : "no data chunk");
        span->described = described.value_or(std::string());
        return { span, {} };
    }

    SpanFound spanByFormat(CachedReads& read, std::int64_t length, AudioFormat format)
    {
        switch (format) {
        case AudioFormat::Mp4:
            return mp4Span(read, length);
        case AudioFormat::Wav:
            return chunkSpan(read, length, false);
        case AudioFormat::Aiff:
            return chunkSpan(read, length, true);
        case AudioFormat::Flac:
        case AudioFormat::Ogg:
        case AudioFormat::Opus: {
            const RegionReadAt regionRead = [&](std::int64_t offset, std::size_t count) { return read(offset, count); };
            const auto end = startRegionFormat(format)->regionEnd(regionRead, length);
            if (!end)
                return none("its metadata cannot be followed to the audio");
            if (format != AudioFormat::Flac)
                return { AudioSpan { std::int64_t(*end), length, {} }, {} };
            return betweenTags(read, std::int64_t(*end), length);
        }
        case AudioFormat::Mp3:
        case AudioFormat::WavPack:
        case AudioFormat::Ape:
            break;
        }
        std::string reason;
        const auto begin = afterId3v2(read, length, reason);
        return begin ? betweenTags(read, *begin, length) : none(reason);
    }

} // namespace

SpanFound audioSpanOf(const SpanReadAt& read, std::int64_t length, AudioFormat format)
{
    CachedReads cached(read, length);
    SpanFound found = spanByFormat(cached, length, format);
    if (found.span && found.span->length() <= 0)
        return none("no audio between its tags");
    return found;
}

SpanFound audioSpanOf(const fs::FileReader& file, AudioFormat format)
{
    return audioSpanOf(
        [&](std::int64_t offset, std::size_t count) { return file.readAt(offset, count); }, file.length(), format);
}

} // namespace zentrio
