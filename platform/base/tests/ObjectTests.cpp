#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
