#include "platform/fs/digest.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <charconv>

namespace zentrio {

std::uint64_t digestOf(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

Digest::Digest()
    : m_state(XXH3_createState())
{
    XXH3_64bits_reset(static_cast<XXH3_state_t*>(m_state));
}

Digest::~Digest() { XXH3_freeState(static_cast<XXH3_state_t*>(m_state)); }

void Digest::add(std::string_view bytes) { XXH3_64bits_update(static_cast<XXH3_state_t*>(m_state), bytes.data(), bytes.size()); }

std::uint64_t Digest::value() const { return XXH3_64bits_digest(static_cast<const XXH3_state_t*>(m_state)); }

std::string digestText(std::uint64_t digest)
{
    char text[16];
    static constexpr char digits[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i, digest >>= 4)
        text[i] = digits[digest & 15];
    return std::string(text, 16);
}

bool parseDigestText(std::string_view text, std::uint64_t& digest)
{
    if (text.size() != 16)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), digest, 16);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace zentrio
