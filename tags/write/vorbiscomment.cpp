#include "tags/write/vorbiscomment.h"

#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace zentrio {

namespace {

    struct Comment {
        std::string key; // as the file spells it
        std::string value; // UTF-8
    };

    struct Parsed {
        std::string vendor;
        std::vector<Comment> comments;
        std::string trailing; // bytes after the last comment (a framing bit), kept as they are
    };

    std::optional<std::uint32_t> le32(std::string_view bytes, std::size_t at)
    {
        if (at + 4 > bytes.size())
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
        return value;
    }

    void putLe32(std::string& out, std::size_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }

    std::optional<Parsed> parse(std::string_view body)
    {
        Parsed parsed;
        const auto vendorSize = le32(body, 0);
        if (!vendorSize || 4 + std::size_t(*vendorSize) > body.size())
            return std::nullopt;
        parsed.vendor = std::string(body.substr(4, *vendorSize));
        std::size_t at = 4 + *vendorSize;
        const auto count = le32(body, at);
        if (!count)
            return std::nullopt;
        at += 4;
        for (std::uint32_t i = 0; i < *count; ++i) {
            const auto size = le32(body, at);
            if (!size || at + 4 + std::size_t(*size) > body.size())
                return std::nullopt;
            const std::string_view entry = body.substr(at + 4, *size);
            const std::size_t equals = entry.find('=');
            if (equals == std::string_view::npos)
                return std::nullopt;
            parsed.comments.push_back({ std::string(entry.substr(0, equals)), std::string(entry.substr(equals + 1)) });
            at += 4 + *size;
        }
        parsed.trailing = std::string(body.substr(at));
        return parsed;
    }

    std::string render(const Parsed& parsed)
    {
        std::string out;
        putLe32(out, parsed.vendor.size());
        out += parsed.vendor;
        putLe32(out, parsed.comments.size());
        for (const Comment& comment : parsed.comments) {
            putLe32(out, comment.key.size() + 1 + comment.value.size());
            out += comment.key + '=' + comment.value;
        }
        return out + parsed.trailing;
    }

    std::string upper(std::string_view text)
    {
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        return out;
    }

    class Editor {
    public:
        explicit Editor(Parsed& parsed)
            : m_parsed(parsed)
        {
        }

        bool has(std::string_view key) const { return first(key) != nullptr; }

        std::string valueOf(std::string_view key) const
        {
            const Comment* comment = first(key);
            return comment ? comment->value : std::string();
        }

        // The first of `keys` the comment holds, else the first of them.
        std::string_view keyFor(std::initializer_list<std::string_view> keys) const
        {
            for (std::string_view key : keys) {
                if (has(key))
                    return key;
            }
            return *keys.begin();
        }

        void set(std::string_view key, const std::string& value)
        {
            bool placed = false;
            std::vector<Comment> kept;
            for (Comment& comment : m_parsed.comments) {
                if (upper(comment.key) != key) {
                    kept.push_back(std::move(comment));
                } else if (!placed && !value.empty()) {
                    comment.value = value;
                    kept.push_back(std::move(comment));
                    placed = true;
                }
            }
            if (!placed && !value.empty())
                kept.push_back({ std::string(key), value });
            m_parsed.comments = std::move(kept);
        }

    private:
        const Comment* first(std::string_view key) const
        {
            for (const Comment& comment : m_parsed.comments) {
                if (upper(comment.key) == key)
                    return &comment;
            }
            return nullptr;
        }

        Parsed& m_parsed;
    };

    // A number with its total ("3/12"): the pair form where the comment has
    // it, else the number with the total under its own key; a number
    // without a total keeps the old one.
    void setNumber(Editor& editor, std::string_view numberKey, std::initializer_list<std::string_view> totalKeys,
        const QString& text)
    {
        const qsizetype slash = text.indexOf(u'/');
        const std::string number = text.left(slash).trimmed().toStdString();
        const std::string total = slash < 0 ? std::string() : text.mid(slash + 1).trimmed().toStdString();
        const std::string old = editor.valueOf(numberKey);
        const std::size_t oldSlash = old.find('/');
        if (oldSlash != std::string::npos && !number.empty()) {
            editor.set(numberKey, number + '/' + (slash < 0 ? old.substr(oldSlash + 1) : total));
            return;
        }
        editor.set(numberKey, number);
        if (slash >= 0 || number.empty())
            editor.set(editor.keyFor(totalKeys), number.empty() ? std::string() : total);
    }

} // namespace

std::optional<std::string> withVorbisValues(std::string_view body, const TagValues& values)
{
    auto parsed = parse(body);
    if (!parsed)
        return std::nullopt;
    Editor editor(*parsed);
    for (const auto& [field, text] : values) {
        const std::string value = text.toStdString();
        switch (field) {
        case TagField::Song:
            editor.set("TITLE", value);
            break;
        case TagField::Artist:
            editor.set("ARTIST", value);
            break;
        case TagField::Album:
            editor.set("ALBUM", value);
            break;
        case TagField::AlbumArtist:
            editor.set(editor.keyFor({ "ALBUMARTIST", "ALBUM ARTIST" }), value);
            break;
        case TagField::Genre:
            editor.set("GENRE", value);
            break;
        case TagField::Year:
            editor.set(editor.has("YEAR") && !editor.has("DATE") ? "YEAR" : "DATE", value);
            break;
        case TagField::Track:
            setNumber(editor, "TRACKNUMBER", { "TRACKTOTAL", "TOTALTRACKS" }, text);
            break;
        case TagField::Disc:
            setNumber(editor, "DISCNUMBER", { "DISCTOTAL", "TOTALDISCS" }, text);
            break;
        }
    }
    return render(*parsed);
}

std::string emptyVorbisComment()
{
    return render({ "Zentrio", {}, {} });
}

} // namespace zentrio
