// The store file behind corral-host's key-value store, in this process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "Corral/testing/StoreChange.h"
#include "StorePersistence.h"

namespace {

using testing_support::storeChange;

}  // namespace

TEST(StorePersistenceTest, WritesInATightLoopAreCoalescedAndTheLastOneIsSaved) {
    auto folder = std::filesystem::temp_directory_path() /
                  ("corral-store-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto file = folder / "KeyValueStore.plist";
    std::vector<std::string> problems;
    constexpr int kWrites = 2000;
    std::size_t saves = 0;
    {
        host::StorePersistence store(file, [&](const std::string& p) { problems.push_back(p); });
        store.load();
        ASSERT_TRUE(store.apply(storeChange("gone", base::String::make("soon"))));
        for (int i = 0; i < kWrites; ++i) {
            ASSERT_TRUE(store.apply(storeChange("counter", base::Number::initWithInteger(i))));
        }
        ASSERT_TRUE(store.apply(storeChange("gone", base::Null::null())));
        store.close();
        saves = store.saves();
        EXPECT_FALSE(store.apply(storeChange("late", base::Number::initWithInteger(1))));
    }
    EXPECT_GE(saves, 1u);
    EXPECT_LT(saves, static_cast<std::size_t>(kWrites));
    auto bytes = base::readFile(file.string());
    ASSERT_TRUE(bytes);
    auto root = base::cast<base::Dictionary>(base::readPropertyList(*bytes).root);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->count(), 1u);
    auto counter = base::cast<base::Number>(root->objectForKey("counter"));
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->integerValue(), kWrites - 1);
    EXPECT_TRUE(problems.empty());
    std::filesystem::remove_all(folder);
}
