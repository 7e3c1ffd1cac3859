#include "tags/write/vorbiscomment.h"

#include "tags/read/vorbisentries.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace zentrio {

namespace {

    void putLe32(std::string& out, std::size_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }

    std::string render(const VorbisComment& parsed)
    {
        std::string out;
        putLe32(out, parsed.vendor.size());
        out += parsed.vendor;
        putLe32(out, parsed.comments.size());
        for (const VorbisEntry& comment : parsed.comments) {
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
        explicit Editor(VorbisComment& parsed)
            : m_parsed(parsed)
        {
        }

        bool has(std::string_view key) const { return first(key) != nullptr; }

        std::string valueOf(std::string_view key) const
        {
            const VorbisEntry* comment = first(key);
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

        // A field written under several keys (ALBUMARTIST or "ALBUM ARTIST"):
        // the first key the comment holds takes the value, and the others go,
        // so that no other spelling still gives an old value.
        void setAliases(std::initializer_list<std::string_view> keys, const std::string& value)
        {
            const std::string_view chosen = keyFor(keys);
            set(chosen, value);
            for (std::string_view key : keys) {
                if (key != chosen)
                    set(key, std::string());
            }
        }

        void set(std::string_view key, const std::string& value)
        {
            bool placed = false;
            std::vector<VorbisEntry> kept;
            for (VorbisEntry& comment : m_parsed.comments) {
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
        const VorbisEntry* first(std::string_view key) const
        {
            for (const VorbisEntry& comment : m_parsed.comments) {
                if (upper(comment.key) == key)
                    return &comment;
            }
            return nullptr;
        }

        VorbisComment& m_parsed;
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
            // A total the comment also holds under its own key takes the new
            // one, so that no reader of that key still finds the old total.
            const bool totalKept = std::any_of(
                totalKeys.begin(), totalKeys.end(), [&](std::string_view key) { return editor.has(key); });
            if (slash >= 0 && totalKept)
                editor.setAliases(totalKeys, total);
            return;
        }
        editor.set(numberKey, number);
        if (slash >= 0 || number.empty())
            editor.setAliases(totalKeys, number.empty() ? std::string() : total);
    }

} // namespace

std::optional<std::string> withVorbisValues(std::string_view body, const TagValues& values)
{
    auto parsed = parseVorbisComment(body);
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
            editor.setAliases({ "ALBUMARTIST", "ALBUM ARTIST" }, value);
            break;
        case TagField::Genre:
            editor.set("GENRE", value);
            break;
        case TagField::Year:
            editor.setAliases({ "DATE", "YEAR" }, value);
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
