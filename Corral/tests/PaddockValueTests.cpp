#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Corral/PaddockValue.h"
#include "ValueTestSupport.h"

using Case = PaddockValue::Case;

namespace {

// Which named constructors accept which arguments: `Constructor` calls one
// of them, and the concept holds when that call compiles for a T.
template <auto Constructor, class T>
concept Accepts = requires(T t) {
    Constructor(t);
};
constexpr auto boolean = [](auto t) -> decltype(PaddockValue::boolean(t)) {
    return PaddockValue::boolean(t);
};
constexpr auto integer = [](auto t) -> decltype(PaddockValue::integer(t)) {
    return PaddockValue::integer(t);
};
constexpr auto floatingPoint = [](auto t) -> decltype(PaddockValue::floatingPoint(t)) {
    return PaddockValue::floatingPoint(t);
};
constexpr auto string = [](auto t) -> decltype(PaddockValue::string(t)) {
    return PaddockValue::string(t);
};
template <class T>
concept MakesBoolean = Accepts<boolean, T>;
template <class T>
concept MakesInteger = Accepts<integer, T>;
template <class T>
concept MakesFloatingPoint = Accepts<floatingPoint, T>;
template <class T>
concept MakesString = Accepts<string, T>;

static_assert(MakesBoolean<bool>);
static_assert(!MakesBoolean<const char*> && !MakesBoolean<int> && !MakesBoolean<double>);
static_assert(MakesInteger<int> && MakesInteger<std::int64_t> && MakesInteger<std::uint32_t>);
static_assert(!MakesInteger<bool> && !MakesInteger<char> && !MakesInteger<double>);
static_assert(!MakesInteger<std::uint64_t>);  // would not fit
static_assert(MakesFloatingPoint<double> && MakesFloatingPoint<float>);
static_assert(!MakesFloatingPoint<int> && !MakesFloatingPoint<bool> &&
              !MakesFloatingPoint<long double>);
static_assert(MakesString<const char*> && !MakesString<bool> && !MakesString<int>);

// Names the case of every payload; `Skip` leaves one case out.
template <class Skip = void>
struct CaseNamer {
    std::string operator()(const PaddockValue::Array&) const
        requires(!std::is_same_v<Skip, PaddockValue::Array>) {
        return "array";
    }
    std::string operator()(const PaddockValue::Dictionary&) const { return "dictionary"; }
    std::string operator()(const std::string&) const { return "string"; }
    std::string operator()(const PaddockValue::Data&) const { return "data"; }
    std::string operator()(PaddockValue::Date) const { return "date"; }
    std::string operator()(PaddockValue::Integer) const
        requires(!std::is_same_v<Skip, PaddockValue::Integer>) {
        return "integer";
    }
    std::string operator()(PaddockValue::FloatingPoint) const { return "floatingPoint"; }
    std::string operator()(PaddockValue::Boolean) const { return "boolean"; }
};

template <class V>
concept Visits = requires(const PaddockValue& value, V visitor) {
    value.visit(visitor);
};

static_assert(Visits<CaseNamer<>>);
static_assert(!Visits<CaseNamer<PaddockValue::Array>>);
// A scalar visitor is never taken for another scalar by conversion: with
// the integer case left out, the double and Boolean handlers do not stand in.
static_assert(!Visits<CaseNamer<PaddockValue::Integer>>);
static_assert(Visits<decltype([](const auto&) { return 0; })>);

}  // namespace

TEST(PaddockValueTest, EachCaseHasItsTagAndHoldsExactlyItsPayload) {
    const std::pair<PaddockValue, Case> cases[] = {
        {PaddockValue::array({PaddockValue::integer(1)}), Case::array},
        {PaddockValue::dictionary({{"", PaddockValue::boolean(true)}}), Case::dictionary},
        {PaddockValue::string("abc"), Case::string},
        {PaddockValue::data({0, 255}), Case::data},
        {PaddockValue::date({1.5}), Case::date},
        {PaddockValue::integer(5), Case::integer},
        {PaddockValue::floatingPoint(5.0), Case::floatingPoint},
        {PaddockValue::boolean(false), Case::boolean},
    };
    const char* names[] = {"array", "dictionary", "string",        "data",
                           "date",  "integer",    "floatingPoint", "boolean"};
    for (std::size_t tag = 0; tag < std::size(cases); ++tag) {
        const auto& [value, expected] = cases[tag];
        EXPECT_EQ(value.tag(), expected);
        EXPECT_EQ(static_cast<std::size_t>(value.tag()), tag);
        EXPECT_EQ(value.visit(CaseNamer<>{}), names[tag]);
        int accessorsAnswering = (value.asArray() != nullptr) + (value.asDictionary() != nullptr) +
                                 (value.asString() != nullptr) + (value.asData() != nullptr) +
                                 (value.asDate() != nullptr) + (value.asInteger() != nullptr) +
                                 (value.asFloatingPoint() != nullptr) +
                                 (value.asBoolean() != nullptr);
        EXPECT_EQ(accessorsAnswering, 1) << names[tag];
    }
}

TEST(PaddockValueTest, CopiesAreIndependentAndShareStorageUntilWritten) {
    PaddockValue original = everyCase();
    PaddockValue copy = original;
    EXPECT_EQ(copy.asArray(), original.asArray());  // shared until written

    auto& dictionary = *copy.asMutableArray()->front().asMutableDictionary();
    EXPECT_NE(copy.asArray(), original.asArray());
    dictionary.insert_or_assign("text", PaddockValue::integer(1));
    dictionary.erase("bytes");
    copy.asMutableArray()->at(1).asMutableString()->append("y");
    copy.asMutableArray()->push_back(PaddockValue::boolean(true));

    EXPECT_TRUE(sameValue(original, everyCase()));
    EXPECT_FALSE(sameValue(copy, original));
    EXPECT_FALSE(sameValue(PaddockValue::floatingPoint(0.0), PaddockValue::floatingPoint(-0.0)));
    const auto& originalDictionary = *original.asArray()->front().asDictionary();
    EXPECT_EQ(*originalDictionary.at("text").asString(), "grüße, 世界");
    EXPECT_EQ(originalDictionary.count("bytes"), 1u);
    EXPECT_EQ(*copy.asArray()->at(1).asString(), "xy");
    EXPECT_EQ(copy.asArray()->size(), original.asArray()->size() + 1);

    // A write through an unshared value changes it in place.
    const auto* storage = copy.asArray();
    copy.asMutableArray()->pop_back();
    EXPECT_EQ(copy.asArray(), storage);
}

TEST(PaddockValueTest, AssignmentAndMoveLeaveEveryValueUsable) {
    PaddockValue a = PaddockValue::string("a");
    PaddockValue b = PaddockValue::array({a, a});
    a = b;  // a now shares b's array
    b.asMutableArray()->clear();
    EXPECT_EQ(a.asArray()->size(), 2u);
    PaddockValue moved = std::move(a);
    EXPECT_EQ(moved.asArray()->size(), 2u);
    ASSERT_EQ(a.tag(), Case::boolean);  // a moved-from value holds false
    EXPECT_FALSE(*a.asBoolean());
    const PaddockValue& same = moved;
    moved = same;  // self-assignment keeps the value
    EXPECT_EQ(moved.asArray()->size(), 2u);
}

TEST(PaddockValueTest, DeepValuesCopyChangeAndDestroyWithoutRecursion) {
    runOnSmallStack([] {
        PaddockValue original = nestedValue(100'000, PaddockValue::integer(1));
        PaddockValue copy = original;
        innermost(copy) = PaddockValue::string("changed");  // unshares every level
        EXPECT_EQ(*innermost(std::as_const(original)).asInteger(), 1);
        EXPECT_EQ(*innermost(std::as_const(copy)).asString(), "changed");

        // Released from inside a container, and by assignment.
        PaddockValue holder = PaddockValue::array({std::move(copy), PaddockValue::integer(0)});
        holder.asMutableArray()->erase(holder.asMutableArray()->begin());
        original = PaddockValue::integer(0);
    });
}

TEST(PaddockValueTest, ReleasingAValueKeepsWhatOtherValuesShareWithIt) {
    // Parts held by the released value and by others, at several depths and
    // beside parts that only the released value holds.
    PaddockValue deep = nestedValue(1'000, PaddockValue::string("leaf"));
    PaddockValue broad = PaddockValue::array(
        {PaddockValue::integer(1), everyCase(), nestedValue(3, PaddockValue::integer(2))});
    PaddockValue::Dictionary entries;
    entries.emplace("deep", deep);
    entries.emplace("owned", nestedValue(50, PaddockValue::boolean(true)));
    PaddockValue holder = PaddockValue::array(
        {PaddockValue::dictionary(std::move(entries)), broad,
         PaddockValue::array({nestedValue(10, broad), PaddockValue::string("x")})});

    holder = PaddockValue::integer(0);

    EXPECT_TRUE(sameValue(deep, nestedValue(1'000, PaddockValue::string("leaf"))));
    EXPECT_TRUE(sameValue(broad, PaddockValue::array({PaddockValue::integer(1), everyCase(),
                                                      nestedValue(3, PaddockValue::integer(2))})));
}
