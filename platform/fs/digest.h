#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Fingerprints of byte runs, to tell whether a file still holds bytes that
// were seen before (an unchanged frame, a write that reached the disk)
// without keeping the bytes. XXH3 is not a cryptographic hash: it tells
// Zentrio's own writes apart from other bytes, nothing more.
namespace zentrio {

std::uint64_t digestOf(std::string_view bytes);

// A running digest over bytes that arrive in slices.
class Digest {
public:
    Digest();
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    void add(std::string_view bytes);
    std::uint64_t value() const;

private:
    void* m_state;
};

// Sixteen lower-case hex digits, and back (nullopt-like: false on bad text).
std::string digestText(std::uint64_t digest);
bool parseDigestText(std::string_view text, std::uint64_t& digest);

} // namespace zentrio
