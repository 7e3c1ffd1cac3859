#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The atoms (boxes) of an MP4 file as a tag write walks them in memory: a
// 4-byte big-endian size (1: a 64-bit size follows the type), a 4-byte
// type, then the body. The walk is strict: an atom that claims more bytes
// than its parent holds, one of size 0 ("to the end of the file"), or bytes
// left over after the last child make the whole stretch unreadable, and a
// write refuses it rather than guess.
namespace zentrio {

struct Mp4Atom {
    std::string type;
    std::size_t offset = 0; // of its header, in the bytes walked
    std::size_t header = 8; // 16 with a 64-bit size
    std::size_t size = 0; // header and body
    std::size_t body() const { return offset + header; }
    std::size_t end() const { return offset + size; }
    bool wide() const { return header == 16; }
};

// The atoms that fill bytes [from, to) exactly, in their order; nullopt
// when one is damaged or bytes are left over.
std::optional<std::vector<Mp4Atom>> mp4AtomsIn(std::string_view bytes, std::size_t from, std::size_t to);

// The children of `parent`, which start `skip` bytes into its body (4 for
// a full atom's version and flags).
std::optional<std::vector<Mp4Atom>> mp4ChildrenOf(std::string_view bytes, const Mp4Atom& parent, std::size_t skip = 0);

// The first atom of that type, or nullptr.
const Mp4Atom* firstMp4Atom(const std::vector<Mp4Atom>& atoms, std::string_view type);

// The index of the first atom of that type.
std::optional<std::size_t> mp4IndexOf(const std::vector<Mp4Atom>& atoms, std::string_view type);

// Free space: "free" or "skip".
bool isMp4Free(std::string_view type);

// An atom of that type around `body`, with a 64-bit size when `wide`.
std::string mp4Atom(std::string_view type, std::string_view body, bool wide = false);

// A free atom of `size` bytes in all (8 at least), its body zeros.
std::string mp4Free(std::size_t size);

std::uint32_t mp4Be32(std::string_view bytes, std::size_t at);
std::uint64_t mp4Be64(std::string_view bytes, std::size_t at);
void mp4PutBe32(std::string& bytes, std::size_t at, std::uint32_t value);
void mp4PutBe64(std::string& bytes, std::size_t at, std::uint64_t value);

} // namespace zentrio
