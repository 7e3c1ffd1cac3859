#include "rename/moves/textindex.h"

#include <algorithm>
#include <bit>
#include <xxhash.h>

namespace zentrio {

namespace {

constexpr std::size_t kFewestSlots = 16;

std::uint64_t tagOf(std::uint64_t hash) { return hash & 0xFFFF'FFFF'0000'0000u; }

} // namespace

HashedText HashedText::of(std::string_view text) { return { text, XXH3_64bits(text.data(), text.size()) }; }

// At most three slots in four are taken, so a miss ends at an empty slot
// within a few (and the slots' tags spare it the entries on the way).
TextIndex::TextIndex(std::size_t expected)
    : m_slots(std::max(kFewestSlots, std::bit_ceil(expected + expected / 3 + 1)), 0)
{
    m_entries.reserve(expected);
}

std::size_t TextIndex::slotOf(const HashedText& key) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = key.hash & mask;; slot = (slot + 1) & mask) {
        const std::uint64_t held = m_slots[slot];
        if (held == 0)
            return slot;
        if (tagOf(held) == tagOf(key.hash) && m_entries[(held & 0xFFFF'FFFFu) - 1].key == key)
            return slot;
    }
}

std::pair<std::size_t&, bool> TextIndex::add(HashedText key, std::size_t value)
{
    if (4 * (m_entries.size() + 1) > 3 * m_slots.size())
        grow();
    const std::size_t slot = slotOf(key);
    if (m_slots[slot] != 0)
        return { m_entries[(m_slots[slot] & 0xFFFF'FFFFu) - 1].value, false };
    m_entries.push_back({ key, value });
    m_slots[slot] = tagOf(key.hash) | m_entries.size();
    return { m_entries.back().value, true };
}

std::optional<std::size_t> TextIndex::find(HashedText key) const
{
    if (m_entries.empty())
        return std::nullopt; // also for one moved from, which has no slots
    const std::uint64_t held = m_slots[slotOf(key)];
    if (held == 0)
        return std::nullopt;
    return m_entries[(held & 0xFFFF'FFFFu) - 1].value;
}

void TextIndex::grow()
{
    std::vector<std::uint64_t> slots(std::max(kFewestSlots, 2 * m_slots.size()), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t entry = 0; entry < m_entries.size(); ++entry) {
        std::size_t slot = m_entries[entry].key.hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = tagOf(m_entries[entry].key.hash) | (entry + 1);
    }
    m_slots = std::move(slots);
}

} // namespace zentrio
