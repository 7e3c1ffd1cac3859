#include "tags/write/mp4atoms.h"

namespace zentrio {

std::uint32_t mp4Be32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

std::uint64_t mp4Be64(std::string_view bytes, std::size_t at)
{
    return (std::uint64_t(mp4Be32(bytes, at)) << 32) | mp4Be32(bytes, at + 4);
}

void mp4PutBe32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
}

void mp4PutBe64(std::string& bytes, std::size_t at, std::uint64_t value)
{
    mp4PutBe32(bytes, at, static_cast<std::uint32_t>(value >> 32));
    mp4PutBe32(bytes, at + 4, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
}

std::optional<std::vector<Mp4Atom>> mp4AtomsIn(std::string_view bytes, std::size_t from, std::size_t to)
{
    if (to > bytes.size() || from > to)
        return std::nullopt;
    std::vector<Mp4Atom> atoms;
    for (std::size_t at = from; at < to;) {
        if (to - at < 8)
            return std::nullopt;
        Mp4Atom atom { std::string(bytes.substr(at + 4, 4)), at, 8, mp4Be32(bytes, at) };
        if (atom.size == 1) {
            if (to - at < 16 || mp4Be64(bytes, at + 8) > to - at)
                return std::nullopt;
            atom.header = 16;
            atom.size = static_cast<std::size_t>(mp4Be64(bytes, at + 8));
        }
        if (atom.size < atom.header || atom.size > to - at)
            return std::nullopt;
        at += atom.size;
        atoms.push_back(std::move(atom));
    }
    return atoms;
}

std::optional<std::vector<Mp4Atom>> mp4ChildrenOf(std::string_view bytes, const Mp4Atom& parent, std::size_t skip)
{
    if (parent.body() + skip > parent.end())
        return std::nullopt;
    return mp4AtomsIn(bytes, parent.body() + skip, parent.end());
}

const Mp4Atom* firstMp4Atom(const std::vector<Mp4Atom>& atoms, std::string_view type)
{
    for (const Mp4Atom& atom : atoms) {
        if (atom.type == type)
            return &atom;
    }
    return nullptr;
}

std::optional<std::size_t> mp4IndexOf(const std::vector<Mp4Atom>& atoms, std::string_view type)
{
    const Mp4Atom* found = firstMp4Atom(atoms, type);
    return found ? std::optional(std::size_t(found - atoms.data())) : std::nullopt;
}

bool isMp4Free(std::string_view type) { return type == "free" || type == "skip"; }

std::string mp4Atom(std::string_view type, std::string_view body, bool wide)
{
    std::string atom(wide ? 16 : 8, '\0');
    const std::size_t size = atom.size() + body.size();
    if (wide) {
        mp4PutBe32(atom, 0, 1);
        mp4PutBe64(atom, 8, size);
    } else {
        mp4PutBe32(atom, 0, static_cast<std::uint32_t>(size));
    }
    atom.replace(4, 4, type.substr(0, 4));
    return atom + std::string(body);
}

std::string mp4Free(std::size_t size) { return mp4Atom("free", std::string(size - 8, '\0')); }

} // namespace zentrio
