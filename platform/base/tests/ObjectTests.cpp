#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Corral/base/Format.h"
#include "Corral/base/Objects.h"

using namespace base;

TEST(NumberTest, ConstructorsReportTheirTypeCodes) {
    EXPECT_EQ(Number::initWithBool(true)->typeCode(), "c");
    EXPECT_EQ(Number::initWithInteger(5)->typeCode(), "q");
    EXPECT_EQ(Number::initWithDouble(1.5)->typeCode(), "d");
    const std::pair<Ref<Number>, const char*> others[] = {
        {Number::initWithUnsignedChar(1), "C"},
        {Number::initWithCBool(true), "B"},
        {Number::initWithInt(1), "i"},
        {Number::initWithShort(1), "s"},
        {Number::initWithLong(1), "l"},
        {Number::initWithUnsignedInt(1), "I"},
        {Number::initWithUnsignedShort(1), "S"},
        {Number::initWithUnsignedLong(1), "L"},
        {Number::initWithUnsignedLongLong(1), "Q"},
        {Number::initWithFloat(1), "f"},
        {Number::initWithChar(1), "c"},
        {Number::initWithLongLong(1), "q"}};
    for (const auto& [number, code] : others) EXPECT_EQ(number->typeCode(), code);
    EXPECT_EQ(Number::withTypeCode("qq", std::int64_t{1})->typeCode(), "qq");
}

TEST(NumberTest, ReadingsConvertBetweenRepresentations) {
    EXPECT_TRUE(Number::initWithChar(65)->boolValue());
    EXPECT_FALSE(Number::initWithDouble(0.0)->boolValue());
    EXPECT_TRUE(Number::initWithDouble(0.25)->boolValue());
    EXPECT_EQ(Number::initWithFloat(1.5f)->doubleValue(), 1.5);
    EXPECT_EQ(Number::initWithDouble(-2.9)->integerValue(), -2);
    EXPECT_EQ(Number::initWithInteger(std::numeric_limits<std::int64_t>::min())->integerValue(),
              std::numeric_limits<std::int64_t>::min());
    // Unsigned values above the signed maximum read as their bit pattern.
    EXPECT_EQ(
        Number::initWithUnsignedLongLong(std::numeric_limits<std::uint64_t>::max())->integerValue(),
        -1);
    EXPECT_EQ(Number::initWithUnsignedLongLong(1ull << 63)->unsignedIntegerValue(), 1ull << 63);
    EXPECT_EQ(Number::initWithDouble(1e300)->integerValue(),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Number::initWithDouble(std::nan(""))->integerValue(), 0);
}

TEST(NumberTest, EqualityAndHashFollowTheValueNotTheStorage) {
    auto one = Number::initWithInteger(1);
    auto oneDouble = Number::initWithDouble(1.0);
    auto oneUnsigned = Number::initWithUnsignedLongLong(1);
    EXPECT_TRUE(one->isEqual(*oneDouble));
    EXPECT_TRUE(one->isEqual(*oneUnsigned));
    EXPECT_EQ(one->hash(), oneDouble->hash());
    EXPECT_EQ(one->hash(), oneUnsigned->hash());
    EXPECT_FALSE(Number::initWithInteger(-1)->isEqual(
        *Number::initWithUnsignedLongLong(std::numeric_limits<std::uint64_t>::max())));
    EXPECT_FALSE(one->isEqual(*String::make("1")));
}

// Numbers near the ends of exact double precision and of the integer types,
// in every storage: equality must be an equivalence that hash() respects.
std::vector<Ref<Number>> awkwardNumbers() {
    constexpr std::int64_t p53 = std::int64_t{1} << 53;
    constexpr auto i64max = std::numeric_limits<std::int64_t>::max();
    constexpr auto i64min = std::numeric_limits<std::int64_t>::min();
    constexpr auto u64max = std::numeric_limits<std::uint64_t>::max();
    std::vector<Ref<Number>> numbers;
    for (std::int64_t i : {p53 - 1, p53, p53 + 1, p53 + 2, -p53 - 1, -p53, i64max, i64max - 1,
                           i64min, i64min + 1, std::int64_t{0}, std::int64_t{-1}}) {
        numbers.push_back(Number::initWithInteger(i));
        numbers.push_back(Number::initWithDouble(static_cast<double>(i)));
    }
    for (std::uint64_t u :
         {u64max, u64max - 1, std::uint64_t{1} << 63, (std::uint64_t{1} << 63) + 1,
          std::uint64_t{0}, static_cast<std::uint64_t>(p53) + 1}) {
        numbers.push_back(Number::initWithUnsignedLongLong(u));
        numbers.push_back(Number::initWithDouble(static_cast<double>(u)));
    }
    for (double d :
         {0.5, -0.0, 18446744073709551616.0, 9223372036854775808.0, 1e300,
          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()})
        numbers.push_back(Number::initWithDouble(d));
    numbers.push_back(Number::initWithFloat(16777217.0f));
    numbers.push_back(Number::initWithInt(16777217));
    return numbers;
}

TEST(NumberTest, EqualityIsAnEquivalenceThatHashAgreesWith) {
    const auto numbers = awkwardNumbers();
    for (const auto& a : numbers) {
        EXPECT_TRUE(a->isEqual(*a)) << a->description();
        for (const auto& b : numbers) {
            const bool equal = a->isEqual(*b);
            EXPECT_EQ(equal, b->isEqual(*a)) << a->description() << " " << b->description();
            if (!equal) continue;
            EXPECT_EQ(a->hash(), b->hash()) << a->description() << " " << b->description();
            for (const auto& c : numbers) {
                if (!b->isEqual(*c)) continue;
                EXPECT_TRUE(a->isEqual(*c))
                    << a->description() << " = " << b->description() << " = " << c->description();
            }
        }
    }
    // The integer 2^53 + 1 is not the double 2^53 that it rounds to.
    constexpr std::int64_t p53 = std::int64_t{1} << 53;
    EXPECT_FALSE(Number::initWithInteger(p53 + 1)->isEqual(*Number::initWithDouble(double(p53))));
    EXPECT_TRUE(Number::initWithInteger(p53)->isEqual(*Number::initWithDouble(double(p53))));
    // 2^63 as a double is above every signed integer, equal to one unsigned.
    EXPECT_FALSE(Number::initWithInteger(std::numeric_limits<std::int64_t>::max())
                     ->isEqual(*Number::initWithDouble(9223372036854775808.0)));
    EXPECT_TRUE(Number::initWithUnsignedLongLong(std::uint64_t{1} << 63)
                    ->isEqual(*Number::initWithDouble(9223372036854775808.0)));
    EXPECT_TRUE(Number::initWithDouble(-0.0)->isEqual(*Number::initWithInteger(0)));
}

TEST(NumberTest, DictionaryLookUpDoesNotDependOnTheDictionarySize) {
    constexpr std::int64_t p53 = std::int64_t{1} << 53;
    for (std::size_t size : {1u, 9u, 100u}) {
        Dictionary::Builder builder;
        builder.set(Number::initWithInteger(p53 + 1), String::make("integer"));
        for (std::size_t i = 1; i < size; ++i)
            builder.set(String::make("filler" + std::to_string(i)), Null::null());
        auto dictionary = builder.build();
        EXPECT_EQ(dictionary->objectForKey(*Number::initWithDouble(double(p53))), nullptr) << size;
        auto found = dictionary->objectForKey(*Number::initWithUnsignedLongLong(p53 + 1));
        ASSERT_NE(found, nullptr) << size;
        EXPECT_TRUE(found->isEqual(*String::make("integer")));
    }
    // Two numbers that differ are two keys, whatever the storage.
    Dictionary::Builder both;
    both.set(Number::initWithInteger(p53 + 1), String::make("integer"));
    both.set(Number::initWithDouble(double(p53)), String::make("double"));
    EXPECT_EQ(both.build()->count(), 2u);
    Dictionary::Builder nan;
    nan.set(Number::initWithDouble(std::nan("")), String::make("nan"));
    EXPECT_NE(nan.build()->objectForKey(*Number::initWithDouble(std::nan(""))), nullptr);
}

TEST(ObjectTest, IdentityAndValueEqualityAreDistinct) {
    auto a = String::make("text");
    auto b = String::make("text");
    EXPECT_NE(a, b);
    EXPECT_TRUE(isEqual(a, b));
    EXPECT_TRUE(isEqual(nullptr, nullptr));
    EXPECT_FALSE(isEqual(a, nullptr));
    EXPECT_EQ(Null::null(), Null::null());
    auto block = Block::make([](std::span<const ObjectRef>) { return nullptr; });
    auto other = Block::make([](std::span<const ObjectRef>) { return nullptr; });
    EXPECT_FALSE(block->isEqual(*other));
    EXPECT_TRUE(isEqual(Data::make(std::vector<std::uint8_t>{1, 2}),
                        Data::make(std::vector<std::uint8_t>{1, 2})));
    EXPECT_TRUE(isEqual(Array::make({a, Number::initWithInteger(2)}),
                        Array::make({b, Number::initWithDouble(2)})));
}

TEST(ObjectTest, WeakReferencesDoNotKeepObjectsAlive) {
    WeakRef<String> weak;
    {
        auto strong = String::make("short-lived");
        weak = strong;
        EXPECT_FALSE(weak.expired());
    }
    EXPECT_TRUE(weak.expired());
}

TEST(ObjectTest, CastChecksTheKind) {
    ObjectRef object = String::make("x");
    EXPECT_TRUE(cast<String>(object));
    EXPECT_FALSE(cast<Number>(object));
    EXPECT_FALSE(cast<String>(nullptr));
    EXPECT_EQ(object->className(), "String");
    EXPECT_EQ(Dictionary::make()->className(), "Dictionary");
}

TEST(DictionaryTest, KeepsFirstPositionAndLastValueOfRepeatedKeys) {
    Dictionary::Builder builder;
    builder.set("b", Number::initWithInteger(1));
    builder.set("a", Number::initWithInteger(2));
    builder.set("b", Number::initWithInteger(3));
    auto dictionary = builder.build();
    ASSERT_EQ(dictionary->count(), 2u);
    EXPECT_EQ(cast<String>(dictionary->entries()[0].first)->text(), "b");
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("b"))->integerValue(), 3);
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("a"))->integerValue(), 2);
    EXPECT_FALSE(dictionary->objectForKey("c"));
}

TEST(DictionaryTest, LargeDictionariesFindEveryKeyOfEveryKind) {
    Dictionary::Builder builder;
    for (int i = 0; i < 500; ++i) {
        builder.set(std::to_string(i), Number::initWithInteger(i));
        builder.set(Number::initWithInteger(i), String::make(std::to_string(i)));
    }
    builder.set("7", Number::initWithInteger(-7));
    auto dictionary = builder.build();
    EXPECT_EQ(dictionary->count(), 1000u);
    EXPECT_FALSE(dictionary->hasOnlyStringKeys());
    for (int i = 0; i < 500; ++i) {
        auto value = cast<Number>(dictionary->objectForKey(std::to_string(i)));
        ASSERT_TRUE(value);
        EXPECT_EQ(value->integerValue(), i == 7 ? -7 : i);
        // A number key matches an equal number of another storage.
        EXPECT_TRUE(dictionary->objectForKey(*Number::initWithDouble(i)));
    }
}

TEST(DictionaryTest, EqualityIgnoresOrder) {
    auto a = Dictionary::withStringKeys({{"x", Null::null()}, {"y", String::make("1")}});
    auto b = Dictionary::withStringKeys({{"y", String::make("1")}, {"x", Null::null()}});
    auto c = Dictionary::withStringKeys({{"y", String::make("2")}, {"x", Null::null()}});
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_FALSE(a->isEqual(*c));
    EXPECT_TRUE(a->hasOnlyStringKeys());
}

TEST(ContainerTest, VeryDeepGraphsAreReleasedWithoutExhaustingTheStack) {
    ObjectRef nested = String::make("bottom");
    for (int i = 0; i < 300000; ++i) {
        if (i % 2)
            nested = Array::make({nested});
        else
            nested = Dictionary::withStringKeys({{"k", nested}});
    }
    nested.reset();
    SUCCEED();  // reaching this line without a stack overflow is the check
}

TEST(ContainerTest, ReleasingAGraphKeepsWhatOthersStillHold) {
    // Parts held elsewhere too, as elements, as values and as a key, beside
    // parts that only the released graph holds.
    auto build = [] {
        return Array::make(
            {String::make("a"),
             Dictionary::withStringKeys({{"b", Array::make({Number::initWithInteger(1)})}})});
    };
    auto kept = build();
    ObjectRef keptKey = Array::make({String::make("key"), Array::make()});
    ObjectRef graph = Array::make(
        {Dictionary::make(
             {{keptKey, kept},
              {String::make("own"), Array::make({kept, Array::make({String::make("x"), kept})})}}),
         kept});
    graph.reset();
    EXPECT_TRUE(isEqual(kept, build()));
    EXPECT_TRUE(isEqual(keptKey, Array::make({String::make("key"), Array::make()})));
}

TEST(ContainerTest, VeryDeepGraphsCompareAndDescribeWithoutExhaustingTheStack) {
    auto build = [](int depth, const char* leaf) {
        ObjectRef nested = String::make(leaf);
        for (int i = 0; i < depth; ++i) {
            if (i % 2)
                nested = Array::make({nested, Number::initWithInteger(i)});
            else
                nested = Dictionary::withStringKeys({{"k", nested}});
        }
        return nested;
    };
    auto a = build(200000, "x");
    EXPECT_TRUE(isEqual(a, build(200000, "x")));
    EXPECT_FALSE(isEqual(a, build(200000, "y")));
    std::string text = a->description();
    EXPECT_EQ(text.substr(0, 12), "({k = ({k = ");
    EXPECT_NE(text.find("{k = x}, 1)"), std::string::npos);
    EXPECT_EQ(Array::make({String::make("a"),
                           Dictionary::withStringKeys({{"b", Null::null()}, {"c", Array::make()}})})
                  ->description(),
              "(a, {b = <null>; c = ()})");
}

TEST(ContainerTest, SharedChildrenSurviveTheirParent) {
    auto shared = Array::make({String::make("kept")});
    { auto parent = Array::make({shared, Array::make({shared})}); }
    ASSERT_EQ(shared->count(), 1u);
    EXPECT_EQ(cast<String>(shared->at(0))->text(), "kept");
}

TEST(DateTest, ConvertsBetweenEpochsAndFormatsInUtc) {
    auto date = Date::withTimeIntervalSince1970(978307200.0 + 86400.5);
    EXPECT_DOUBLE_EQ(date->timeIntervalSinceReferenceDate(), 86400.5);
    EXPECT_EQ(date->description(), "2001-01-02T00:00:00Z");
    EXPECT_EQ(Date::withTimeIntervalSinceReferenceDate(-1)->description(), "2000-12-31T23:59:59Z");
}

TEST(FormatTest, ReplacesPlaceholdersInOrder) {
    EXPECT_EQ(format("%@ and %@", {String::make("a"), Number::initWithInteger(2)}), "a and 2");
    EXPECT_EQ(format("100%% %@", {}), "100% (null)");
    EXPECT_EQ(format("%d %", {String::make("x")}), "%d %");
    EXPECT_EQ(format("%@", {Value::withRect(Rect(1, 2, 3, 4))}), "Rect: {{1, 2}, {3, 4}}");
}

TEST(DictionaryTest, KeyIndexFindsEveryPositionThroughCollisionsAndGrowth) {
    // Many positions under one hash, others under hashes that differ only
    // above the low 32 bits: each is found, and a missing one is not.
    KeyIndex index;
    for (std::size_t i = 0; i < 300; ++i) index.insert(i % 3 ? 42 : (i << 32) | 42, i);
    for (std::size_t i = 0; i < 300; ++i) {
        auto found = index.find(i % 3 ? 42 : (i << 32) | 42, [i](std::size_t p) { return p == i; });
        ASSERT_TRUE(found) << i;
        EXPECT_EQ(*found, i);
    }
    EXPECT_FALSE(index.find(42, [](std::size_t p) { return p == 300; }));
    EXPECT_FALSE(index.find(43, [](std::size_t) { return true; }));
    // Sealed, it still finds everything; positions must come in order, and
    // not beyond what a slot can hold.
    EXPECT_THROW(index.insert(7, 302), std::logic_error);
    index.seal();
    for (std::size_t i = 0; i < 300; i += 7)
        EXPECT_EQ(index.find(i % 3 ? 42 : (i << 32) | 42, [i](std::size_t p) { return p == i; }),
                  i);
    EXPECT_THROW(index.reserve(KeyIndex::maxPositions + 1), std::length_error);
    index.clear();
    EXPECT_TRUE(index.empty());
    EXPECT_FALSE(index.find(42, [](std::size_t) { return true; }));
}

TEST(DictionaryTest, KeyIndexPassesOverSlotsOfOtherHashesWithoutComparing) {
    // Keys that only share slots are told apart by the slots themselves:
    // finding each of many keys compares (nearly) only the key looked for,
    // and a missing one is (nearly) never compared.
    KeyIndex index;
    std::hash<std::string> hash;
    constexpr std::size_t count = 5000;
    for (std::size_t i = 0; i < count; ++i) index.insert(hash(std::to_string(i)), i);
    std::size_t compared = 0;
    for (std::size_t i = 0; i < count; ++i) {
        auto found = index.find(hash(std::to_string(i)), [&](std::size_t p) {
            ++compared;
            return p == i;
        });
        ASSERT_EQ(found, i);
    }
    EXPECT_LT(compared, count + count / 100);
    compared = 0;
    for (std::size_t i = count; i < 2 * count; ++i)
        EXPECT_FALSE(index.find(hash(std::to_string(i)), [&](std::size_t) {
            ++compared;
            return true;
        }));
    EXPECT_LT(compared, count / 100);
}

TEST(DictionaryTest, KeysAddedWithoutComparisonAreFoundAndReplaceable) {
    // Past the size at which the builder indexes its keys, entries added
    // without comparison must still be found by later sets and look-ups.
    Dictionary::Builder builder;
    for (int i = 0; i < 12; ++i) builder.set(std::to_string(i), Number::initWithInteger(i));
    for (int i = 12; i < 20; ++i) builder.add(String::make(std::to_string(i)), Null::null());
    builder.set("15", Number::initWithInteger(-15));
    auto dictionary = builder.build();
    ASSERT_EQ(dictionary->count(), 20u);
    EXPECT_EQ(cast<Number>(dictionary->objectForKey("15"))->integerValue(), -15);
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(dictionary->objectForKey(std::to_string(i))) << i;
}

TEST(ObjectMemoryTest, GraphsMadeOnOneThreadAndReleasedOnAnotherStayIntact) {
    // Four threads each build graphs and hand every second one to the next
    // thread, which checks and releases it while building its own: blocks
    // given back on a thread other than their own are used again without
    // overlapping live objects.
    constexpr int threads = 4, rounds = 200, width = 300;
    auto build = [](int seed) {
        std::vector<ObjectRef> elements;
        for (int i = 0; i < width; ++i) {
            std::string text = "text " + std::to_string(seed) + "/" + std::to_string(i) +
                               std::string(static_cast<std::size_t>(i % 40), 'x');
            elements.push_back(Dictionary::withStringKeys(
                {{"n", Number::initWithInteger(seed * width + i)}, {"s", String::make(text)}}));
        }
        return Array::make(std::move(elements));
    };
    auto intact = [](const Ref<Array>& graph, int seed) {
        for (int i = 0; i < width; ++i) {
            auto entry = cast<Dictionary>(graph->at(static_cast<std::size_t>(i)));
            auto number = cast<Number>(entry->objectForKey("n"));
            auto text = cast<String>(entry->objectForKey("s"));
            if (!number || number->integerValue() != seed * width + i || !text ||
                text->text() != "text " + std::to_string(seed) + "/" + std::to_string(i) +
                                    std::string(static_cast<std::size_t>(i % 40), 'x'))
                return false;
        }
        return true;
    };
    std::mutex lock;
    std::vector<std::vector<std::pair<int, Ref<Array>>>> inbox(threads);
    std::atomic<int> damaged{0}, checked{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int round = 0; round < rounds; ++round) {
                int seed = t * rounds + round;
                auto mine = build(seed);
                std::vector<std::pair<int, Ref<Array>>> received;
                {
                    std::lock_guard guard(lock);
                    received.swap(inbox[static_cast<std::size_t>(t)]);
                    if (round % 2)
                        inbox[static_cast<std::size_t>((t + 1) % threads)].emplace_back(seed, mine);
                }
                for (auto& [from, graph] : received) {
                    damaged += !intact(graph, from);
                    ++checked;
                }
                damaged += !intact(mine, seed);
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(damaged, 0);
    EXPECT_GT(checked, threads * rounds / 4);
}
