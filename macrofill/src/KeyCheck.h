#pragma once
// Notices a dictionary that gives a key twice, by the hashes of its keys.
// Two keys that merely share a hash are taken for the same key: that only
// costs the slower way through objects.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace macrofill {

// Thrown for a dictionary that gives a key twice.
struct DuplicateKey {};

class KeyCheck {
public:
    void beginDictionary() { open(true); }
    void beginArray() { open(false); }
    void endContainer() { --depth_; }
    // A key, by its shortTextHash, of the innermost open container, a
    // dictionary. Throws DuplicateKey when the dictionary has had it.
    void key(std::size_t hash) {
        Level& level = levels_[depth_ - 1];
        if (level.keys.size() >= fewKeys) return keyAmongMany(level, hash);
        std::uint64_t bit = std::uint64_t{1} << (hash >> 58);
        if ((level.seen & bit) && isAmongFew(level, hash)) throw DuplicateKey{};
        level.seen |= bit;
        level.keys.push_back(hash);
        if (level.keys.size() == fewKeys) becomeMany(level);
    }

private:
    static constexpr std::size_t fewKeys = 16;

    struct Level {
        bool dictionary = false;
        // One bit for each key's hash modulo 64: most keys find theirs
        // clear, and are new without a search.
        std::uint64_t seen = 0;
        std::vector<std::size_t> keys;  // the first few, searched in turn
        // Past a few keys, all of them in an open-addressing table at most
        // half full, zero marking a free slot.
        std::vector<std::size_t> manyKeys;
        std::size_t manyKeyCount = 0;
    };
    void open(bool dictionary);
    static bool isAmongFew(const Level& level, std::size_t hash);
    static void becomeMany(Level& level);
    static void keyAmongMany(Level& level, std::size_t hash);

    std::vector<Level> levels_;  // levels past depth_ are kept for reuse
    std::size_t depth_ = 0;
};

}  // namespace macrofill
