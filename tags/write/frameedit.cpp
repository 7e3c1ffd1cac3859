#include "tags/write/frameedit.h"

#include "platform/fs/digest.h"
#include "tags/read/framewalk.h"
#include "tags/read/id3v2.h"
#include "tags/taglib/taglibmodule.h"

#include <algorithm>

namespace zentrio {

namespace {

    constexpr std::uint8_t kUnsynchronised = 0x80;
    constexpr std::uint8_t kExtendedHeader = 0x40; // compression in version 2.2, refused by the frame walk
    constexpr std::uint8_t kFooter = 0x10;

    bool fitsLatin1(const QString& text)
    {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    }

    // Version 2.2 names the text frames with three characters.
    constexpr std::pair<std::string_view, std::string_view> kVersion22Ids[] = { { "TIT2", "TT2" }, { "TPE1", "TP1" },
        { "TALB", "TAL" }, { "TPE2", "TP2" }, { "TCON", "TCO" }, { "TRCK", "TRK" }, { "TPOS", "TPA" },
        { "TYER", "TYE" } };

    std::string version22Id(std::string_view id)
    {
        for (const auto& [current, old] : kVersion22Ids) {
            if (id == current)
                return std::string(old);
        }
        return {};
    }

    // The id a frame of the tag goes by among the values (the 2.3 id of a
    // 2.2 frame; a 2.2 frame with no 2.3 counterpart here matches none).
    std::string valueId(const std::string& id, int version)
    {
        if (version != 2)
            return id;
        for (const auto& [current, old] : kVersion22Ids) {
            if (id == old)
                return std::string(current);
        }
        return "?" + id;
    }

    // A 2.2 frame: the 3-character id and 3-byte size before the body TagLib rendered.
    std::string asVersion22(std::string_view id, std::string_view rendered)
    {
        const std::string_view body = rendered.substr(kId3v2HeaderSize);
        std::string frame(id);
        for (int shift = 16; shift >= 0; shift -= 8)
            frame += static_cast<char>((body.size() >> shift) & 0xFF);
        return frame += body;
    }

    // One text frame of the tag's version, by TagLib: Latin-1 where the text
    // allows it, else UTF-16 (2.2 and 2.3) or UTF-8 (2.4).
    std::string renderTextFrame(const std::string& id, const QString& text, int version)
    {
        const auto encoding = fitsLatin1(text) ? FrameEncoding::Latin1
            : version >= 4                      ? FrameEncoding::Utf8
                                                : FrameEncoding::Utf16;
        std::string rendered = taglib().textFrame(id, text, encoding); // the size syncsafe, as in 2.4
        if (version == 2)
            return asVersion22(version22Id(id), rendered);
        if (version == 3) { // 2.3 writes the size as a plain number
            std::size_t size = rendered.size() - kId3v2HeaderSize;
            for (int i = 7; i >= 4; --i, size >>= 8)
                rendered[static_cast<std::size_t>(i)] = static_cast<char>(size & 0xFF);
        }
        return rendered;
    }

    std::string syncsafe(std::size_t size)
    {
        std::string out(4, '\0');
        for (int i = 3; i >= 0; --i, size >>= 7)
            out[static_cast<std::size_t>(i)] = static_cast<char>(size & 0x7F);
        return out;
    }

    // The values of one frame, decoded by TagLib from a tag made of the old
    // tag's header and that frame alone. TagLib reads a 2.2 frame under its
    // newer id, which for the year may be either.
    QStringList frameValues(std::string_view oldTag, const FrameSpan& frame, const FrameValue& value)
    {
        std::string alone(oldTag.substr(0, 5));
        alone += '\0';
        alone += syncsafe(frame.size);
        alone += oldTag.substr(frame.offset, frame.size);
        if (static_cast<std::uint8_t>(oldTag[3]) != 2)
            return id3v2FirstValues(alone, frame.id.c_str());
        QStringList values = id3v2FirstValues(alone, value.id.c_str());
        for (auto other = value.replaces.begin(); values.isEmpty() && other != value.replaces.end(); ++other)
            values = id3v2FirstValues(alone, other->c_str());
        return values;
    }

    bool isNamed(const FrameValue& value, const std::string& id)
    {
        return value.id == id || std::find(value.replaces.begin(), value.replaces.end(), id) != value.replaces.end();
    }

    const FrameValue* valueFor(const std::vector<FrameValue>& values, const std::string& id)
    {
        for (const FrameValue& value : values) {
            if (isNamed(value, id))
                return &value;
        }
        return nullptr;
    }

    class Assembly {
    public:
        explicit Assembly(std::string_view oldTag)
            : m_old(oldTag)
        {
        }

        void keep(const FrameSpan& frame)
        {
            const std::string_view bytes = m_old.substr(frame.offset, frame.size);
            m_edited.old.push_back({ OldPiece::Kind::Moved, {}, m_edited.tag.size(), bytes.size(), digestOf(bytes) });
            m_edited.tag += bytes;
        }
        void drop(std::string_view bytes)
        {
            if (!m_edited.old.empty() && m_edited.old.back().kind == OldPiece::Kind::Bytes)
                m_edited.old.back().bytes += bytes;
            else
                m_edited.old.push_back({ OldPiece::Kind::Bytes, std::string(bytes) });
        }
        void add(const std::string& frame) { m_edited.tag += frame; }
        void rest(std::string_view bytes)
        {
            if (bytes.find_first_not_of('\0') == std::string_view::npos)
                m_edited.old.push_back({ OldPiece::Kind::Zeros, {}, 0, bytes.size() });
            else if (!bytes.empty())
                drop(bytes);
        }
        EditedTag take() { return std::move(m_edited); }

    private:
        std::string_view m_old;
        EditedTag m_edited;
    };

} // namespace

QString withKeptTotal(const QString& text, const QString& oldText)
{
    const qsizetype slash = oldText.indexOf(u'/');
    if (text.isEmpty() || text.contains(u'/') || slash < 0 || oldText.mid(slash + 1).trimmed().isEmpty())
        return text;
    return text + u'/' + oldText.mid(slash + 1).trimmed();
}

std::optional<EditedTag> editFrames(std::string_view oldTag, const std::vector<FrameValue>& values)
{
    const auto flags = oldTag.size() >= kId3v2HeaderSize ? static_cast<std::uint8_t>(oldTag[5]) : 0;
    if (id3v2TagSize(oldTag) != oldTag.size() || (flags & (kUnsynchronised | kFooter)) != 0)
        return std::nullopt;
    const auto layout = frameLayout(oldTag);
    if (!layout || !layout->clean)
        return std::nullopt;
    const int version = layout->version;
    Assembly assembly(oldTag);
    // The header, whose size changes, and any extended header: its CRC and
    // padding size would no longer hold, so the edited tag goes without it.
    assembly.drop(oldTag.substr(0, layout->start));
    std::string header(oldTag.substr(0, kId3v2HeaderSize));
    header[5] = static_cast<char>(flags & ~kExtendedHeader);
    assembly.add(header);
    std::vector<const FrameValue*> placed;
    const auto isPlaced = [&](const FrameValue* value) { return std::find(placed.begin(), placed.end(), value) != placed.end(); };
    const auto place = [&](const FrameValue& value, const QString& oldText) {
        placed.push_back(&value);
        const QString text = value.keepTotal ? withKeptTotal(value.text, oldText) : value.text;
        if (!text.isEmpty())
            assembly.add(renderTextFrame(value.id, text, version));
    };
    for (const FrameSpan& frame : layout->frames) {
        const std::string id = valueId(frame.id, version);
        const FrameValue* value = valueFor(values, id);
        if (!value) {
            assembly.keep(frame);
            continue;
        }
        if (isPlaced(value)) {
            assembly.drop(oldTag.substr(frame.offset, frame.size)); // one frame holds the field now
            continue;
        }
        const QStringList old = frameValues(oldTag, frame, *value);
        const QString oldText = old.value(0);
        const QString text = value->keepTotal ? withKeptTotal(value->text, oldText) : value->text;
        if (id == value->id && old.size() == 1 && oldText == text) {
            placed.push_back(value);
            assembly.keep(frame); // it holds the value already: its bytes stay
            continue;
        }
        assembly.drop(oldTag.substr(frame.offset, frame.size));
        place(*value, oldText);
    }
    for (const FrameValue& value : values) {
        if (!isPlaced(&value))
            place(value, {});
    }
    assembly.rest(oldTag.substr(layout->end));
    return assembly.take();
}

std::string newTagOf(const std::vector<FrameValue>& values)
{
    std::string frames;
    for (const FrameValue& value : values) {
        if (!value.text.isEmpty())
            frames += renderTextFrame(value.id, value.text, 3);
    }
    if (frames.empty())
        return {};
    return std::string("ID3\x03\x00\x00", 6) + syncsafe(0) + frames;
}

std::optional<std::string> withPadding(std::string tag, std::size_t size)
{
    if (tag.size() < kId3v2HeaderSize || tag.size() > size || size - kId3v2HeaderSize >= (std::size_t(1) << 28))
        return std::nullopt;
    tag.resize(size, '\0');
    const std::string bytes = syncsafe(size - kId3v2HeaderSize);
    tag.replace(6, 4, bytes);
    return tag;
}

std::vector<OldPiece> oldAgainstNew(std::string_view old, std::string_view now)
{
    constexpr std::size_t kRun = 4096; // the shortest run looked for
    constexpr std::size_t kStep = 1024; // how far the search moves on after a miss
    constexpr int kMisses = 32; // searches that find nothing before the rest is kept as bytes
    std::vector<OldPiece> pieces;
    std::string pending;
    const auto flush = [&] {
        if (!pending.empty())
            pieces.push_back({ OldPiece::Kind::Bytes, std::exchange(pending, {}) });
    };
    int misses = 0;
    for (std::size_t at = 0; at < old.size();) {
        const std::size_t found = old.size() - at >= kRun && misses < kMisses
            ? std::string_view(now).find(old.substr(at, kRun))
            : std::string_view::npos;
        if (found == std::string_view::npos) {
            misses += old.size() - at >= kRun ? 1 : 0;
            const std::size_t step = misses < kMisses ? std::min(kStep, old.size() - at) : old.size() - at;
            pending += old.substr(at, step);
            at += step;
            continue;
        }
        std::size_t from = found;
        std::size_t length = kRun;
        while (!pending.empty() && from > 0 && now[from - 1] == pending.back()) { // the run began earlier
            pending.pop_back();
            --from;
            --at;
            ++length;
        }
        while (at + length < old.size() && from + length < now.size() && old[at + length] == now[from + length])
            ++length;
        flush();
        pieces.push_back({ OldPiece::Kind::Moved, {}, from, length, digestOf(old.substr(at, length)) });
        at += length;
    }
    flush();
    return pieces;
}

std::optional<std::string> oldBytesOf(const std::vector<OldPiece>& pieces, std::string_view now)
{
    std::string old;
    for (const OldPiece& piece : pieces) {
        switch (piece.kind) {
        case OldPiece::Kind::Bytes:
            old += piece.bytes;
            break;
        case OldPiece::Kind::Zeros:
            old.append(piece.size, '\0');
            break;
        case OldPiece::Kind::Moved:
            if (piece.offset > now.size() || piece.size > now.size() - piece.offset
                || digestOf(now.substr(piece.offset, piece.size)) != piece.digest)
                return std::nullopt;
            old += now.substr(piece.offset, piece.size);
            break;
        }
    }
    return old;
}

} // namespace zentrio
