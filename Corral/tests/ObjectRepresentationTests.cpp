#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "Corral/base/Objects.h"
#include "PaddockValueObjectRepresentation.h"
#include "ValueTestSupport.h"

using Case = PaddockValue::Case;

namespace {

std::optional<PaddockValue> in(const base::ObjectRef& object) {
    return paddockValueFromObjectRepresentation(object);
}

// `depth` array objects around `leaf`.
base::ObjectRef nestedArrayObject(std::size_t depth, base::ObjectRef leaf) {
    for (std::size_t i = 0; i < depth; ++i) leaf = base::Array::make({leaf});
    return leaf;
}

}  // namespace

TEST(ObjectRepresentationTest, ScalarsBecomeNumbersWithFixedTypeCodes) {
    const std::pair<PaddockValue, const char*> scalars[] = {
        {PaddockValue::integer(5), "q"},
        {PaddockValue::boolean(true), "c"},
        {PaddockValue::floatingPoint(2.5), "d"},
    };
    for (const auto& [value, code] : scalars) {
        auto number = base::cast<base::Number>(objectRepresentation(value));
        ASSERT_TRUE(number) << code;
        EXPECT_EQ(number->typeCode(), code);
        EXPECT_TRUE(sameValue(*in(number), value)) << code;
    }
}

TEST(ObjectRepresentationTest, ContainersBecomeArrayAndDictionaryObjects) {
    auto object = objectRepresentation(PaddockValue::array(
        {PaddockValue::string("a"), PaddockValue::dictionary({{"k", PaddockValue::integer(1)}}),
         PaddockValue::array({}), PaddockValue::dictionary({})}));
    auto expected = base::Array::make({
        base::String::make("a"),
        base::Dictionary::withStringKeys({{"k", base::Number::initWithInteger(1)}}),
        base::Array::make(),
        base::Dictionary::make(),
    });
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->isEqual(*expected)) << object->description();
    auto dictionary = base::cast<base::Dictionary>(base::cast<base::Array>(object)->at(1));
    ASSERT_TRUE(dictionary);
    EXPECT_TRUE(dictionary->hasOnlyStringKeys());

    EXPECT_EQ(in(base::Array::make())->tag(), Case::array);
    EXPECT_EQ(in(base::Dictionary::make())->tag(), Case::dictionary);
}

TEST(ObjectRepresentationTest, NumbersChooseTheirCaseByTypeCode) {
    for (const char* code : {"c", "C", "B"}) {
        auto value = in(base::Number::withTypeCode(code, std::int64_t{65}));
        ASSERT_TRUE(value) << code;
        ASSERT_EQ(value->tag(), Case::boolean) << code;  // never integer, even for "c" 65
        EXPECT_TRUE(*value->asBoolean());
    }
    EXPECT_FALSE(*in(base::Number::initWithCBool(false))->asBoolean());
    for (const char* code : {"i", "s", "l", "q", "I", "S", "L", "Q"}) {
        auto value = in(base::Number::withTypeCode(code, std::int64_t{-7}));
        ASSERT_TRUE(value) << code;
        ASSERT_EQ(value->tag(), Case::integer) << code;
        EXPECT_EQ(*value->asInteger(), -7);
    }
    for (const char* code : {"f", "d"}) {
        auto value = in(base::Number::withTypeCode(code, 1.5));
        ASSERT_TRUE(value) << code;
        ASSERT_EQ(value->tag(), Case::floatingPoint) << code;
        EXPECT_EQ(*value->asFloatingPoint(), 1.5);
    }
    EXPECT_EQ(*in(base::Number::initWithFloat(1.5f))->asFloatingPoint(), 1.5);
    // Unsigned numbers above the signed maximum read as their bit pattern.
    EXPECT_EQ(*in(base::Number::initWithUnsignedLongLong(UINT64_MAX))->asInteger(), -1);
    EXPECT_EQ(*in(base::Number::initWithUnsignedLong(1ull << 63))->asInteger(), INT64_MIN);
    for (const char* code : {"", "x", "v", "*", "qq", "cq", "Q ", "D", "b"}) {
        EXPECT_FALSE(in(base::Number::withTypeCode(code, std::int64_t{1}))) << '"' << code << '"';
    }
}

TEST(ObjectRepresentationTest, EveryValueComesBackWithItsCaseAndPayloadAtEveryDepth) {
    const double doubles[] = {0.0,
                              -0.0,
                              1e-310,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    PaddockValue::Array scalars;
    for (double d : doubles) {
        scalars.push_back(PaddockValue::floatingPoint(d));
        scalars.push_back(PaddockValue::date({d}));
    }
    PaddockValue::Data allBytes;
    for (int b = 0; b < 256; ++b) allBytes.push_back(static_cast<std::uint8_t>(b));
    scalars.push_back(PaddockValue::data(allBytes));
    scalars.push_back(PaddockValue::string(std::string("nul\0inside", 10)));
    scalars.push_back(everyCase());

    for (std::size_t depth : {0, 1, 2, 3, 8, 33}) {
        for (const auto& scalar : scalars) {
            PaddockValue value = nestedValue(depth, scalar);
            auto back = in(objectRepresentation(value));
            ASSERT_TRUE(back) << "depth " << depth;
            EXPECT_TRUE(sameValue(*back, value)) << "depth " << depth;
        }
    }
    // A wide value: many siblings at several levels.
    PaddockValue::Dictionary wide;
    for (int i = 0; i < 300; ++i) {
        wide.emplace(std::to_string(i), i % 3 ? PaddockValue::integer(i) : everyCase());
    }
    PaddockValue value = PaddockValue::array({PaddockValue::dictionary(wide), everyCase()});
    auto back = in(objectRepresentation(value));
    ASSERT_TRUE(back);
    EXPECT_TRUE(sameValue(*back, value));
}

TEST(ObjectRepresentationTest, AnythingUnconvertibleAnywhereYieldsNothing) {
    auto null = base::Null::null();
    auto rect = base::Value::withRect({{0, 0}, {1, 1}});
    EXPECT_FALSE(in(nullptr));
    EXPECT_FALSE(in(null));
    EXPECT_FALSE(in(rect));
    EXPECT_FALSE(in(base::Block::make([](auto) { return base::ObjectRef(); })));
    EXPECT_FALSE(in(base::Array::make({base::String::make("a"), null})));
    EXPECT_FALSE(in(base::Dictionary::withStringKeys({{"only", null}})));
    EXPECT_FALSE(
        in(base::Dictionary::make({{base::String::make("a"), base::String::make("x")},
                                   {base::Number::initWithInteger(1), base::String::make("y")}})));

    // Three levels of arrays around data convert; around a value object, nothing.
    auto bytes = base::Data::make(std::vector<std::uint8_t>{9});
    auto deep = in(nestedArrayObject(3, bytes));
    ASSERT_TRUE(deep);
    auto expected = PaddockValue::array(
        {PaddockValue::array({PaddockValue::array({PaddockValue::data({9})})})});
    EXPECT_TRUE(sameValue(*deep, expected));
    EXPECT_FALSE(in(nestedArrayObject(3, rect)));

    // A bad object late in a wide, deep graph spoils all of it.
    auto good = objectRepresentation(everyCase());
    std::vector<base::ObjectRef> siblings(50, good);
    siblings.push_back(base::Dictionary::withStringKeys(
        {{"fine", good}, {"bad", base::Array::make({good, nestedArrayObject(20, null)})}}));
    siblings.push_back(good);
    EXPECT_TRUE(in(base::Array::make(std::vector<base::ObjectRef>(50, good))));
    EXPECT_FALSE(in(base::Array::make(siblings)));
}

TEST(ObjectRepresentationTest, DeeplyNestedGraphsConvertWithoutRecursion) {
    runOnSmallStack([] {
        constexpr std::size_t depth = 100'000;
        PaddockValue value = nestedValue(depth, PaddockValue::string("bottom"));
        base::ObjectRef object = objectRepresentation(value);
        auto back = in(object);
        ASSERT_TRUE(back);
        EXPECT_TRUE(sameValue(*back, value));

        EXPECT_FALSE(in(nestedArrayObject(depth, base::Null::null())));
    });
}
