// The size a graph spells out as a tree, measured without spelling it out.
#include <gtest/gtest.h>

#include <limits>

#include "Corral/base/ExpandedSize.h"
#include "Corral/base/Objects.h"
#include "Corral/testing/SharedGraphs.h"

using testing_support::doubledArray;
using testing_support::doubledArraySize;

namespace {

// The tree size the plain way, visiting every occurrence.
std::uint64_t treeSize(const base::ObjectRef& object) {
    std::uint64_t size = 16;
    switch (object->kind()) {
        case base::Kind::string:
            return size + base::cast<base::String>(object)->text().size();
        case base::Kind::data:
            return size + base::cast<base::Data>(object)->length();
        case base::Kind::array:
            for (const auto& element : *base::cast<base::Array>(object)) size += treeSize(element);
            return size;
        case base::Kind::dictionary:
            for (const auto& [key, value] : *base::cast<base::Dictionary>(object))
                size += treeSize(key) + treeSize(value);
            return size;
        default:
            return size;
    }
}

}  // namespace

TEST(ExpandedSizeTest, CountsEveryOccurrenceAsATreeWalkWould) {
    auto shared = base::Dictionary::withStringKeys(
        {{"na\xC3\xAFve", base::Data::make(std::vector<std::uint8_t>(10, 7))},
         {"", base::Array::make({})}});
    auto inner = base::Array::make({shared, base::String::make("x"), shared});
    auto root = base::Dictionary::withStringKeys(
        {{"a", inner},
         {"b", inner},
         {"c", shared},
         {"n", base::Number::initWithInteger(3)},
         {"d", base::Date::withTimeIntervalSinceReferenceDate(0)}});
    EXPECT_EQ(base::expandedSize(root), treeSize(root));
    EXPECT_EQ(base::expandedSize(shared), treeSize(shared));
    EXPECT_EQ(base::expandedSize(base::String::make("four")), 20u);
    EXPECT_EQ(base::expandedSize(nullptr), 0u);
    EXPECT_EQ(base::expandedSize(doubledArray(6)), treeSize(doubledArray(6)));
    EXPECT_EQ(base::expandedSize(doubledArray(6)), doubledArraySize(6));
}

TEST(ExpandedSizeTest, SharedPartsAreMeasuredOnceAndTheSumSaturates) {
    // 2^50 leaves: a walk that visited each would never end.
    EXPECT_EQ(base::expandedSize(doubledArray(50)), doubledArraySize(50));
    // Past 2^64 the size stays at the largest number instead of wrapping.
    EXPECT_EQ(base::expandedSize(doubledArray(70)), std::numeric_limits<std::uint64_t>::max());
    // A limit ends the measure early, with a number past it.
    EXPECT_GT(base::expandedSize(doubledArray(70), 1000), 1000u);
}

TEST(ExpandedSizeTest, TheLimitSitsBetweenTwentyAndTwentyOneDoublings) {
    ASSERT_LE(doubledArraySize(20), base::maxExpandedSize);
    ASSERT_GT(doubledArraySize(21), base::maxExpandedSize);
    EXPECT_TRUE(base::isWithinExpandedSizeLimit(doubledArray(20)));
    EXPECT_FALSE(base::isWithinExpandedSizeLimit(doubledArray(21)));
    // One data object of exactly the limit, less its node, is within it.
    auto data = base::Data::make(std::vector<std::uint8_t>(base::maxExpandedSize - 16));
    EXPECT_TRUE(base::isWithinExpandedSizeLimit(data));
    EXPECT_FALSE(base::isWithinExpandedSizeLimit(base::Array::make({data})));
}

TEST(ExpandedSizeTest, DeepNestingIsMeasuredWithoutRecursion) {
    base::ObjectRef value = base::String::make("");
    for (int level = 0; level < 200'000; ++level) value = base::Array::make({value});
    EXPECT_EQ(base::expandedSize(value), 16u * 200'001);
}
