// Rewriting the strings of a binary list in place, against reading the list,
// changing its tree and writing it again.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>

#include "Corral/plist/BinaryStringRewrite.h"
#include "Corral/testing/HostilePropertyLists.h"
#include "Corral/testing/MarkingRewriter.h"
#include "PropertyListTestSupport.h"

using namespace base;
using namespace plisttest;

namespace {

using testing_support::marked;
using Marking = testing_support::MarkingRewriter;

std::optional<std::vector<std::uint8_t>> rewritten(std::span<const std::uint8_t> input,
                                                   const BinaryRewriteThreads& threads = {}) {
    Marking marking;
    return rewriteBinaryPropertyListStrings(input, marking, threads);
}

// Written on a second thread while the list is checked.
const BinaryRewriteThreads along{0};

// The rewrite written along the check gives the same bytes as the one
// written after it, or leaves the list, as it may when a key would change.
void expectAlongAgrees(std::span<const std::uint8_t> list,
                       const std::optional<std::vector<std::uint8_t>>& after, bool keyWithDollar,
                       unsigned seed) {
    auto result = rewritten(list, along);
    if (result) {
        ASSERT_TRUE(after) << seed;
        EXPECT_EQ(*result, *after) << seed;
    } else {
        EXPECT_TRUE(!after || keyWithDollar) << seed;
    }
}

// A list compared by value: written again in the writer's one layout.
std::string canonical(const ObjectRef& root) {
    return textOf(writePropertyList(root, PropertyListFormat::binary));
}

std::uint64_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes[at + i];
    return value;
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = width; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A binary list of `objects` (each its marker and payload, references one
// byte wide), the root at `root`.
std::vector<std::uint8_t> assemble(const std::vector<std::string>& objects, std::uint64_t root) {
    std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const auto& object : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), object.begin(), object.end());
    }
    std::uint64_t table = out.size();
    for (auto offset : offsets) putBigEndian(out, offset, 2);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 2, 1});
    putBigEndian(out, objects.size(), 8);
    putBigEndian(out, root, 8);
    putBigEndian(out, table, 8);
    return out;
}

// The same list with its objects numbered the other way round: the root,
// last as the writer lays it out, becomes the first, and each container
// comes before its children, as a writer that starts from the root lays
// them out.
std::vector<std::uint8_t> rootFirst(const std::vector<std::uint8_t>& list) {
    std::size_t trailer = list.size() - 32;
    std::size_t offsetWidth = list[trailer + 6], referenceWidth = list[trailer + 7];
    std::uint64_t count = bigEndian(list, trailer + 8, 8);
    std::uint64_t root = bigEndian(list, trailer + 16, 8);
    std::uint64_t table = bigEndian(list, trailer + 24, 8);
    std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (std::uint64_t index = count; index-- > 0;) {
        std::size_t at = bigEndian(list, table + index * offsetWidth, offsetWidth);
        std::uint8_t marker = list[at];
        std::uint8_t type = marker >> 4;
        std::size_t start = at + 1;
        std::uint64_t n = marker & 0xF;
        if (type >= 0x4 && n == 0xF) {
            std::size_t width = std::size_t{1} << (list[start] & 0xF);
            n = bigEndian(list, start + 1, width);
            start += 1 + width;
        }
        offsets.push_back(out.size());
        if (type == 0xA || type == 0xD) {
            out.insert(out.end(), list.begin() + at, list.begin() + start);
            std::uint64_t references = type == 0xD ? 2 * n : n;
            for (std::uint64_t i = 0; i < references; ++i)
                putBigEndian(
                    out, count - 1 - bigEndian(list, start + i * referenceWidth, referenceWidth),
                    referenceWidth);
            continue;
        }
        std::size_t end = type == 0x0   ? start
                          : type <= 0x3 ? start + (std::size_t{1} << (marker & 0xF))
                          : type == 0x6 ? start + 2 * n
                                        : start + n;
        out.insert(out.end(), list.begin() + at, list.begin() + end);
    }
    std::uint64_t newTable = out.size();
    for (auto offset : offsets) putBigEndian(out, offset, 8);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 8, static_cast<std::uint8_t>(referenceWidth)});
    putBigEndian(out, count, 8);
    putBigEndian(out, count - 1 - root, 8);
    putBigEndian(out, newTable, 8);
    return out;
}

// The texts that stand as keys, and those that stand as values, in `value`.
void collectTexts(const ObjectRef& value, std::set<std::string>& keys,
                  std::set<std::string>& values) {
    if (auto text = cast<String>(value)) values.insert(text->text());
    if (auto array = cast<Array>(value))
        for (const auto& element : *array) collectTexts(element, keys, values);
    if (auto dictionary = cast<Dictionary>(value)) {
        for (const auto& [key, element] : dictionary->entries()) {
            keys.insert(static_cast<const String&>(*key).text());
            collectTexts(element, keys, values);
        }
    }
}

bool hasKeyWithDollar(const ObjectRef& root) {
    std::set<std::string> keys, values;
    collectTexts(root, keys, values);
    return std::any_of(keys.begin(), keys.end(),
                       [](const std::string& key) { return key.find('$') != std::string::npos; });
}

// Whether the rewrite should take the list the writer makes of `root`: the
// writer stores equal strings once, so a text with a "$" that stands as a
// key and as a value is one object that cannot both change and stay.
bool rewritable(const ObjectRef& root) {
    auto kind = root->kind();
    if (kind != Kind::string && kind != Kind::array && kind != Kind::dictionary) return false;
    std::set<std::string> keys, values;
    collectTexts(root, keys, values);
    for (const auto& key : keys)
        if (key.find('$') != std::string::npos && values.count(key)) return false;
    return true;
}

}  // namespace

TEST(BinaryStringRewrite, GivesWhatChangingTheTreeGivesInBothLayouts) {
    int taken = 0, changed = 0, left = 0;
    for (unsigned seed = 0; seed < 1500; ++seed) {
        RandomTree random(seed);
        ObjectRef root = random.value(0);
        auto leavesFirst = writePropertyList(root, PropertyListFormat::binary);
        std::string expected = canonical(marked(root));
        for (const auto& list : {leavesFirst, rootFirst(leavesFirst)}) {
            ASSERT_EQ(canonical(readPropertyList(list).root), canonical(root)) << seed;
            auto result = rewritten(list);
            ASSERT_EQ(result.has_value(), rewritable(root)) << seed << " " << root->description();
            expectAlongAgrees(list, result, hasKeyWithDollar(root), seed);
            if (!result) {
                ++left;
                continue;
            }
            ++taken;
            changed += expected != canonical(root);
            EXPECT_EQ(canonical(readPropertyList(*result).root), expected) << seed;
        }
    }
    // Each kind was met often enough to mean something.
    EXPECT_GT(taken, 1000);
    EXPECT_GT(changed, 200);
    EXPECT_GT(left, 50);
}

TEST(BinaryStringRewrite, EachStoredStringIsRewrittenOnceAndKeysNever) {
    // ["$a", "$a", {"$a": "$b"}]: "$a" is one object, a value twice and a key
    // once; "$b" a value once.
    auto shared = assemble(
        {"\x52$a", "\x52$b", std::string("\xD1\x00\x01", 3), std::string("\xA3\x00\x00\x02", 4)},
        3);
    EXPECT_FALSE(rewritten(shared));

    // ["$a", "$a", {"k": "$b"}]: two calls, and "$a" marked in both places.
    auto list = assemble({"\x52$a", "\x52$b", "\x51k", std::string("\xD1\x02\x01", 3),
                          std::string("\xA3\x00\x00\x03", 4)},
                         4);
    Marking counting;
    auto written = rewriteBinaryPropertyListStrings(list, counting);
    ASSERT_TRUE(written);
    EXPECT_EQ(counting.calls, 2);
    auto expected =
        Array::make({str("$a!"), str("$a!"), Dictionary::withStringKeys({{"k", str("$b!")}})});
    EXPECT_EQ(canonical(readPropertyList(*written).root), canonical(expected));
}

TEST(BinaryStringRewrite, LeavesToTheReaderTheListsItDoesNotRewrite) {
    auto taken = [](const std::vector<std::uint8_t>& list) { return rewritten(list).has_value(); };
    // The root is a number.
    EXPECT_FALSE(taken(assemble({"\x10\x07"}, 0)));
    // Two keys of the same text, as two objects and as one.
    EXPECT_FALSE(taken(assemble(
        {"\x51k", "\x51k", "\x10\x01", "\x10\x02", std::string("\xD2\x00\x01\x02\x03", 5)}, 4)));
    EXPECT_FALSE(taken(assemble({"\x51k", "\x10\x01", std::string("\xD2\x00\x00\x01\x01", 5)}, 2)));
    // An object the root does not lead to.
    EXPECT_FALSE(taken(assemble({"\x51x", "\x51y", std::string("\xA1\x00", 2)}, 2)));
    // References that point both ways, with the root last and in the middle.
    EXPECT_FALSE(
        taken(assemble({std::string("\xA1\x01", 2), "\x51y", std::string("\xA1\x00", 2)}, 2)));
    EXPECT_FALSE(taken(assemble({"\x51x", std::string("\xA2\x00\x02", 3), "\x51y"}, 1)));
    // An array that holds itself.
    EXPECT_FALSE(taken(assemble({std::string("\xA1\x00", 2)}, 0)));
    // A key that is not a string.
    EXPECT_FALSE(taken(assemble({"\x10\x01", std::string("\xD1\x00\x00", 3)}, 1)));
    // A string the reader refuses: an ASCII string with a byte above 127.
    EXPECT_FALSE(taken(assemble({"\x51\xE9", std::string("\xA1\x00", 2)}, 1)));
    // Nesting at the readers' limit is taken, one level more is not.
    EXPECT_TRUE(taken(testing_support::nestedBinaryList(propertyListMaxDepth)));
    EXPECT_FALSE(taken(testing_support::nestedBinaryList(propertyListMaxDepth + 1)));
    EXPECT_FALSE(taken(testing_support::nestedBinaryList(1000000)));
    // Sharing that stays within what the reader allows, and sharing beyond.
    EXPECT_TRUE(taken(testing_support::sharedDataList(100, 100)));
    EXPECT_FALSE(taken(testing_support::sharedDataList(20012, 20012)));
    // None of these is anything but refused or settled by the reader.
    EXPECT_TRUE(taken(assemble({"\x51y", "\x51x", std::string("\xA2\x01\x00", 3)}, 2)));
}

TEST(BinaryStringRewrite, ARewriteThatCannotBeStoredOrThrowsIsTheCallersToSettle) {
    auto list = assemble({"\x52$a", std::string("\xA1\x00", 2)}, 1);
    class Giving final : public BinaryStringRewriter {
    public:
        explicit Giving(std::string text) : text_(std::move(text)) {}
        const std::string* rewrite(std::string_view) override { return &text_; }

    private:
        std::string text_;
    };
    Giving broken("\xC3");  // not UTF-8
    EXPECT_FALSE(rewriteBinaryPropertyListStrings(list, broken));
    Giving wide("caf\xC3\xA9");  // stored as UTF-16
    auto written = rewriteBinaryPropertyListStrings(list, wide);
    ASSERT_TRUE(written);
    EXPECT_EQ(canonical(readPropertyList(*written).root),
              canonical(Array::make({str("caf\xC3\xA9")})));

    class Throwing final : public BinaryStringRewriter {
    public:
        const std::string* rewrite(std::string_view) override { throw std::runtime_error("no"); }
    } throwing;
    EXPECT_THROW(rewriteBinaryPropertyListStrings(list, throwing), std::runtime_error);
}

// Damaged lists: whatever the rewrite takes, the reader takes too, and the
// rewrite gives what changing the tree read gives.
TEST(BinaryStringRewrite, TakesNoListTheReaderRefuses) {
    std::mt19937 random(20261208);
    int taken = 0;
    for (unsigned seed = 0; seed < 300; ++seed) {
        RandomTree tree(seed);
        auto list = writePropertyList(tree.value(0), PropertyListFormat::binary);
        for (const auto& original : {list, rootFirst(list)}) {
            for (int damage = 0; damage < 20; ++damage) {
                auto bytes = original;
                for (unsigned flips = 1 + random() % 3; flips > 0; --flips)
                    bytes[random() % bytes.size()] ^=
                        static_cast<std::uint8_t>(1u << (random() % 8));
                auto result = rewritten(bytes);
                expectAlongAgrees(bytes, result, true, seed);
                if (!result) continue;
                ++taken;
                ObjectRef read;
                ASSERT_NO_THROW(read = readPropertyList(bytes).root) << seed;
                EXPECT_EQ(canonical(readPropertyList(*result).root), canonical(marked(read)))
                    << seed;
            }
        }
    }
    EXPECT_GT(taken, 100);
}

// Written along the check, every string is rewritten, keys too; the check
// then settles each as the write after it would have.
TEST(BinaryStringRewrite, WrittenAlongTheCheckEndsAsWrittenAfterIt) {
    class Picky final : public BinaryStringRewriter {
    public:
        const std::string* rewrite(std::string_view text) override {
            if (text.starts_with("throw")) throw std::runtime_error(std::string(text));
            result_ = text.starts_with("bad") ? "\xC3" : std::string(text) + "!";
            return &result_;
        }

    private:
        std::string result_;
    };
    auto list = [](ObjectRef root) { return writePropertyList(root, PropertyListFormat::binary); };
    auto each = [](const std::vector<std::uint8_t>& bytes, const BinaryRewriteThreads& threads) {
        Picky picky;
        return rewriteBinaryPropertyListStrings(bytes, picky, threads);
    };
    // A key whose rewrite throws, or cannot be stored, stays as it is.
    for (const char* key : {"throw", "bad"}) {
        auto bytes = list(Dictionary::withStringKeys({{key, str("v")}}));
        auto after = each(bytes, {});
        ASSERT_TRUE(after) << key;
        EXPECT_EQ(canonical(readPropertyList(*after).root),
                  canonical(Dictionary::withStringKeys({{key, str("v!")}})));
        EXPECT_EQ(each(bytes, along), after) << key;
    }
    // A value whose rewrite throws passes the exception on, from this thread.
    auto throwing = list(Array::make({str("a"), str("throw this")}));
    for (const auto& threads : {BinaryRewriteThreads{}, along}) {
        try {
            each(throwing, threads);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "throw this");
        }
    }
    // A value that cannot be stored, and a key that is a value too: left.
    auto bad = list(Array::make({str("bad")}));
    auto both = list(Dictionary::withStringKeys({{"a", str("a")}}));
    for (const auto& bytes : {bad, both}) {
        EXPECT_FALSE(each(bytes, {}));
        EXPECT_FALSE(each(bytes, along));
    }
    // A key alone that would change is left too, where after the check it
    // simply stays.
    auto key = list(Dictionary::withStringKeys({{"$k", str("v")}}));
    EXPECT_TRUE(rewritten(key));
    EXPECT_FALSE(rewritten(key, along));
}
