#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "Corral/base/LargeMemory.h"

using namespace base;

TEST(LargeMemoryTest, BlocksOnBothSidesOfTheThresholdHoldWhatIsWrittenToTheirEnds) {
    for (std::size_t size : {std::size_t{1}, largeMemoryThreshold - 1, largeMemoryThreshold,
                             largeMemoryThreshold + 4097, 3 * largeMemoryThreshold + 12345}) {
        auto* block = static_cast<std::uint8_t*>(allocateLargeMemory(size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);
        if (size >= largeMemoryThreshold) {
            // Fresh from the system: zeroed, and starting on a large page.
            EXPECT_EQ(block[0], 0);
            EXPECT_EQ(block[size - 1], 0);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (std::size_t{2} << 20), 0u);
        }
        for (std::size_t i = 0; i < size; i += 4096) block[i] = static_cast<std::uint8_t>(i >> 12);
        block[size - 1] = 0xAB;
        for (std::size_t i = 0; i + 1 < size; i += 4096)
            ASSERT_EQ(block[i], static_cast<std::uint8_t>(i >> 12)) << size << " at " << i;
        EXPECT_EQ(block[size - 1], 0xAB);
        freeLargeMemory(block, size);
    }
}

TEST(LargeMemoryTest, AVectorGrowingPastTheThresholdKeepsItsElements) {
    std::vector<std::uint64_t, LargeAllocator<std::uint64_t>> values;
    const std::size_t count = 3 * largeMemoryThreshold / sizeof(std::uint64_t);
    for (std::size_t i = 0; i < count; ++i) values.push_back(i * 7);
    ASSERT_EQ(values.size(), count);
    std::uint64_t sum = std::accumulate(values.begin(), values.end(), std::uint64_t{0});
    EXPECT_EQ(sum, 7 * (count * (count - 1) / 2));
    values.assign(count / 2, 5);
    EXPECT_EQ(values.back(), 5u);
    decltype(values)().swap(values);
    EXPECT_EQ(values.capacity(), 0u);
}
