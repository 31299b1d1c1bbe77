#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

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

// The number of distinct array and dictionary objects reachable from
// `root`, each counted once however often it is referenced.
std::size_t distinctContainerObjects(const base::ObjectRef& root) {
    std::unordered_set<const base::Object*> seen;
    std::vector<const base::Object*> work{root.get()};
    while (!work.empty()) {
        const base::Object* next = work.back();
        work.pop_back();
        if (!seen.insert(next).second) continue;
        if (next->kind() == base::Kind::array) {
            for (const auto& element : static_cast<const base::Array&>(*next))
                work.push_back(element.get());
        } else if (next->kind() == base::Kind::dictionary) {
            for (const auto& entry : static_cast<const base::Dictionary&>(*next))
                work.push_back(entry.second.get());
        }
    }
    return static_cast<std::size_t>(std::count_if(seen.begin(), seen.end(), [](auto* o) {
        return o->kind() == base::Kind::array || o->kind() == base::Kind::dictionary;
    }));
}

// The number of distinct array and dictionary payloads in `value`.
std::size_t distinctContainerPayloads(const PaddockValue& value) {
    std::unordered_set<const void*> seen;
    std::vector<const PaddockValue*> work{&value};
    while (!work.empty()) {
        const PaddockValue* next = work.back();
        work.pop_back();
        if (const auto* array = next->asArray()) {
            if (seen.insert(array).second)
                for (const auto& element : *array) work.push_back(&element);
        } else if (const auto* dictionary = next->asDictionary()) {
            if (seen.insert(dictionary).second)
                for (const auto& entry : *dictionary) work.push_back(&entry.second);
        }
    }
    return seen.size();
}

// `levels` containers, alternately an array and a dictionary, each holding
// the level below twice, around `leaf`: a tree of 2^levels leaves.
PaddockValue doublingValue(std::size_t levels, PaddockValue leaf) {
    for (std::size_t level = 0; level < levels; ++level) {
        if (level % 2) {
            leaf = PaddockValue::array({leaf, leaf});
        } else {
            PaddockValue::Dictionary entries;
            entries.emplace("left", leaf);
            entries.emplace("right", leaf);
            leaf = PaddockValue::dictionary(std::move(entries));
        }
    }
    return leaf;
}

// The first value that is not a container, found by always taking the first
// element or entry.
const PaddockValue& firstLeaf(const PaddockValue& value) {
    const PaddockValue* next = &value;
    while (next->asArray() || next->asDictionary())
        next = next->asArray() ? &next->asArray()->front() : &next->asDictionary()->begin()->second;
    return *next;
}

base::ObjectRef doublingObject(std::size_t levels, base::ObjectRef leaf) {
    for (std::size_t level = 0; level < levels; ++level) leaf = base::Array::make({leaf, leaf});
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

    // So does a key that is not a string object, nested, after string keys,
    // and in a dictionary object that several references share.
    auto numberKeyed = base::Dictionary::make(
        {{base::String::make("a"), good}, {base::Number::initWithInteger(1), good}});
    EXPECT_FALSE(in(base::Array::make({good, base::Array::make({numberKeyed})})));
    EXPECT_FALSE(in(base::Array::make({numberKeyed, good, numberKeyed})));
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

TEST(ObjectRepresentationTest, SharedPartsConvertOnceAndStayShared) {
    // Out: each shared payload becomes one object, referenced wherever the
    // payload is.
    PaddockValue shared = doublingValue(16, PaddockValue::string("leaf"));
    base::ObjectRef object = objectRepresentation(shared);
    ASSERT_EQ(distinctContainerObjects(object), 16u);
    auto top = base::cast<base::Array>(object);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->at(0).get(), top->at(1).get());

    // In: each shared object becomes one payload, and the copies stay
    // independent: writing through one branch leaves the other alone.
    auto back = in(doublingObject(16, base::String::make("leaf")));
    ASSERT_TRUE(back);
    ASSERT_EQ(distinctContainerPayloads(*back), 16u);
    auto& branches = *back->asMutableArray();
    branches[0].asMutableArray()->push_back(PaddockValue::integer(1));
    EXPECT_EQ(branches[0].asArray()->size(), 3u);
    EXPECT_EQ(branches[1].asArray()->size(), 2u);
    EXPECT_TRUE(sameValue(firstLeaf(branches[1]), PaddockValue::string("leaf")));

    // A value that spells out 2^200 leaves converts out and back in step
    // with its 200 levels, and the leaf comes back.
    PaddockValue huge = doublingValue(200, PaddockValue::data({1, 2, 3}));
    auto hugeBack = in(objectRepresentation(huge));
    ASSERT_TRUE(hugeBack);
    EXPECT_EQ(distinctContainerPayloads(*hugeBack), 200u);
    EXPECT_TRUE(sameValue(firstLeaf(*hugeBack), PaddockValue::data({1, 2, 3})));

    // Sharing does not weaken all-or-nothing: one bad object, however often
    // it is referenced, spoils the whole graph.
    EXPECT_FALSE(in(doublingObject(200, base::Null::null())));
    auto good = doublingObject(200, base::String::make("fine"));
    EXPECT_FALSE(in(base::Array::make({good, good, doublingObject(3, base::Null::null())})));
}
