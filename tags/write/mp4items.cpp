#include "tags/write/mp4items.h"

#include "tags/write/mp4atoms.h"

#include <QRegularExpression>

#include <vector>

namespace zentrio {

namespace {

    constexpr std::uint32_t kUtf8 = 1;
    constexpr std::uint32_t kImplicit = 0;

    struct Item {
        std::string type;
        std::string bytes;
    };

    std::string dataItem(std::string_view type, std::uint32_t dataType, std::string_view value)
    {
        std::string data(8, '\0'); // the type, then a locale of 0
        mp4PutBe32(data, 0, dataType);
        return mp4Atom(type, mp4Atom("data", data + std::string(value)));
    }

    // The payload of an item's first data atom (after its type and locale).
    std::string payloadOf(const Item& item)
    {
        const auto self = mp4AtomsIn(item.bytes, 0, item.bytes.size());
        const auto children = self && self->size() == 1 ? mp4ChildrenOf(item.bytes, self->front()) : std::nullopt;
        const Mp4Atom* data = children ? firstMp4Atom(*children, "data") : nullptr;
        if (!data || data->size < data->header + 8)
            return {};
        return item.bytes.substr(data->body() + 8, data->end() - data->body() - 8);
    }

    class ItemList {
    public:
        explicit ItemList(std::vector<Item> items)
            : m_items(std::move(items))
        {
        }

        const Item* first(std::string_view type) const
        {
            for (const Item& item : m_items) {
                if (item.type == type)
                    return &item;
            }
            return nullptr;
        }

        // The first item of the type takes `bytes` (none: it goes), the
        // further ones go, so that no later copy gives an old value.
        void set(std::string_view type, const std::string& bytes)
        {
            bool placed = false;
            std::vector<Item> kept;
            for (Item& item : m_items) {
                if (item.type != type) {
                    kept.push_back(std::move(item));
                } else if (!placed && !bytes.empty()) {
                    kept.push_back({ std::string(type), bytes });
                    placed = true;
                }
            }
            if (!placed && !bytes.empty())
                kept.push_back({ std::string(type), bytes });
            m_items = std::move(kept);
        }

        void setText(std::string_view type, const QString& text)
        {
            set(type, text.isEmpty() ? std::string() : dataItem(type, kUtf8, text.toStdString()));
        }

        std::string rendered() const
        {
            std::string out;
            for (const Item& item : m_items)
                out += item.bytes;
            return out;
        }

    private:
        std::vector<Item> m_items;
    };

    // A number pair ("3", "3/12"): 2 bytes of 0, the number, the total, and
    // for a track 2 more bytes of 0. Without a total the old one stays.
    bool setPair(ItemList& list, std::string_view type, std::size_t size, const QString& text)
    {
        if (text.isEmpty()) {
            list.set(type, {});
            return true;
        }
        static const QRegularExpression pair(QStringLiteral("^\\s*([0-9]{1,5})\\s*(?:/\\s*([0-9]{0,5})\\s*)?$"));
        const auto match = pair.match(text);
        const uint number = match.captured(1).toUInt();
        uint total = match.captured(2).toUInt();
        if (!match.hasMatch() || number > 0xFFFF || total > 0xFFFF)
            return false;
        if (!match.hasCaptured(2)) {
            const Item* old = list.first(type);
            const std::string payload = old ? payloadOf(*old) : std::string();
            total = payload.size() >= 6 ? (std::uint8_t(payload[4]) << 8) | std::uint8_t(payload[5]) : 0;
        }
        std::string payload(size, '\0');
        payload[2] = static_cast<char>(number >> 8);
        payload[3] = static_cast<char>(number & 0xFF);
        payload[4] = static_cast<char>(total >> 8);
        payload[5] = static_cast<char>(total & 0xFF);
        list.set(type, dataItem(type, kImplicit, payload));
        return true;
    }

} // namespace

std::optional<std::string> withMp4Items(std::string_view bytes, const TagValues& values)
{
    const auto atoms = mp4AtomsIn(bytes, 0, bytes.size());
    if (!atoms)
        return std::nullopt;
    std::vector<Item> items;
    for (const Mp4Atom& atom : *atoms)
        items.push_back({ atom.type, std::string(bytes.substr(atom.offset, atom.size)) });
    ItemList list(std::move(items));
    for (const auto& [field, text] : values) {
        switch (field) {
        case TagField::Song:
            list.setText("\251nam", text);
            break;
        case TagField::Artist:
            list.setText("\251ART", text);
            break;
        case TagField::Album:
            list.setText("\251alb", text);
            break;
        case TagField::AlbumArtist:
            list.setText("aART", text);
            break;
        case TagField::Year:
            list.setText("\251day", text);
            break;
        case TagField::Genre:
            list.setText("\251gen", text);
            list.set("gnre", {}); // TagLib reads a numeric genre over the text
            break;
        case TagField::Track:
            if (!setPair(list, "trkn", 8, text))
                return std::nullopt;
            break;
        case TagField::Disc:
            if (!setPair(list, "disk", 6, text))
                return std::nullopt;
            break;
        }
    }
    return list.rendered();
}

} // namespace zentrio
