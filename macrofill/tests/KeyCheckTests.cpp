// Noticing a key given twice: in any dictionary, at any count of keys, and
// never across dictionaries.

#include <gtest/gtest.h>

#include <string>

#include "KeyCheck.h"
#include "ShortTextHash.h"

using namespace macrofill;

namespace {

std::size_t hashOf(const std::string& text) { return shortTextHash(text); }

// A dictionary of `count` keys "k0"..., then key "k<again>" once more.
bool repeatNoticed(KeyCheck& check, int count, int again) {
    check.beginDictionary();
    for (int i = 0; i < count; ++i) check.key(hashOf("k" + std::to_string(i)));
    try {
        check.key(hashOf("k" + std::to_string(again)));
    } catch (const DuplicateKey&) {
        check.endContainer();
        return true;
    }
    check.endContainer();
    return false;
}

}  // namespace

TEST(KeyCheck, NoticesARepeatAmongFewKeysAndMany) {
    KeyCheck check;
    for (int count : {1, 2, 15, 16, 17, 64, 5000}) {
        for (int again : {0, count / 2, count - 1}) EXPECT_TRUE(repeatNoticed(check, count, again));
        // A new key is no repeat, in a dictionary that takes the place of
        // one that had it.
        EXPECT_FALSE(repeatNoticed(check, count, count)) << count;
    }
}

TEST(KeyCheck, EachDictionaryHasKeysOfItsOwn) {
    KeyCheck check;
    check.beginDictionary();
    check.key(hashOf("a"));
    check.beginArray();
    check.beginDictionary();
    EXPECT_NO_THROW(check.key(hashOf("a")));
    check.endContainer();
    check.endContainer();
    // Back in the outer dictionary, which still has "a".
    EXPECT_NO_THROW(check.key(hashOf("b")));
    EXPECT_THROW(check.key(hashOf("a")), DuplicateKey);
}
