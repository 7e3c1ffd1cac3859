#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// Numbers found by text, for the check of a run of thousands of moves: a
// few look-ups per file, each in one open-addressed array, with no
// allocation per entry. A look-up mostly reads one cache line of slots and
// the entry it names.
namespace zentrio {

// A text with its hash, made once for every index it is looked up in.
struct HashedText {
    std::string_view text;
    std::uint64_t hash = 0;

    static HashedText of(std::string_view text);
    bool operator==(const HashedText& other) const { return hash == other.hash && text == other.text; }
};

// The texts are views: whoever fills the index keeps them where they are
// for as long as it is used.
class TextIndex {
public:
    explicit TextIndex(std::size_t expected = 0);

    // Adds the text with `value`, unless it is there: then it keeps the
    // value it has. Gives that value, to be read or changed until the next
    // add, and whether the text was added.
    std::pair<std::size_t&, bool> add(HashedText key, std::size_t value);
    std::optional<std::size_t> find(HashedText key) const;
    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry {
        HashedText key;
        std::size_t value;
    };

    // The slot the text is in, or the empty slot where it would go.
    std::size_t slotOf(const HashedText& key) const;
    void grow();

    // Each slot: the entry's number + 1 (0: empty) in the low half (an
    // index holds far fewer than 2^32 texts), the top of its hash in the
    // high half, so most misses read no entry.
    std::vector<std::uint64_t> m_slots;
    std::vector<Entry> m_entries;
};

} // namespace zentrio
