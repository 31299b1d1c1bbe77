#include "KeyCheck.h"

#include <algorithm>

namespace macrofill {

namespace {

// Adds `hash` (not zero) to an open-addressing table; false if it was there.
bool addToTable(std::vector<std::size_t>& table, std::size_t hash) {
    std::size_t mask = table.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        if (table[slot] == hash) return false;
        if (table[slot] == 0) {
            table[slot] = hash;
            return true;
        }
    }
}

}  // namespace

void KeyCheck::open(bool dictionary) {
    if (levels_.size() == depth_) levels_.emplace_back();
    Level& level = levels_[depth_++];
    level.dictionary = dictionary;
    if (!dictionary) return;
    level.seen = 0;
    level.keys.clear();
    level.manyKeys.clear();
    level.manyKeyCount = 0;
}

bool KeyCheck::isAmongFew(const Level& level, std::size_t hash) {
    return std::find(level.keys.begin(), level.keys.end(), hash) != level.keys.end();
}

void KeyCheck::becomeMany(Level& level) {
    level.manyKeys.assign(4 * fewKeys, 0);
    for (std::size_t key : level.keys) addToTable(level.manyKeys, key);
    level.manyKeyCount = fewKeys;
}

void KeyCheck::keyAmongMany(Level& level, std::size_t hash) {
    if (2 * (level.manyKeyCount + 1) > level.manyKeys.size()) {
        std::vector<std::size_t> old(2 * level.manyKeys.size(), 0);
        old.swap(level.manyKeys);
        for (std::size_t key : old) {
            if (key) addToTable(level.manyKeys, key);
        }
    }
    if (!addToTable(level.manyKeys, hash)) throw DuplicateKey{};
    ++level.manyKeyCount;
}

}  // namespace macrofill
