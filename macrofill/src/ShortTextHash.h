#pragma once
// A hash of a short text (a key, a build setting's name), never zero, eight
// bytes at a step: such texts are many, and the library's string hash costs
// more than the rest of their handling. Its users take a collision for a
// reason to look closer, never for equality.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace macrofill {

inline std::size_t shortTextHash(std::string_view text) {
    constexpr std::uint64_t multiplier = 0xff51afd7ed558ccdull;
    std::uint64_t hash = 0x9e3779b97f4a7c15ull ^ text.size();
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        hash = (hash ^ word) * multiplier;
        hash ^= hash >> 32;
    }
    if (n) {
        // The last eight bytes, overlapping what went before; for a short
        // text its first and last four, or its few bytes one by one: a copy
        // of a variable length would cost more than the rest of the hash.
        std::uint64_t word = 0;
        if (text.size() >= 8) {
            std::memcpy(&word, text.data() + text.size() - 8, 8);
        } else if (n >= 4) {
            // With the length mixed in above, the two overlapping halves
            // tell every such text apart.
            std::uint32_t first, last;
            std::memcpy(&first, p, 4);
            std::memcpy(&last, p + n - 4, 4);
            word = std::uint64_t{last} << 32 | first;
        } else {
            for (std::size_t i = 0; i < n; ++i)
                word |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
        }
        hash = (hash ^ word) * multiplier;
    }
    hash = (hash ^ (hash >> 29)) * 0xc4ceb9fe1a85ec53ull;
    hash ^= hash >> 32;
    return static_cast<std::size_t>(hash) | 1;
}

}  // namespace macrofill
