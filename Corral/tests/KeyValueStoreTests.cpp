#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Corral/PaddockKeyValueStore.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Exception.h"
#include "Corral/base/ExpandedSize.h"
#include "Corral/base/Objects.h"
#include "Corral/testing/Recorders.h"
#include "Corral/testing/SharedGraphs.h"
#include "PaddockKeyValueStoreAccess.h"
#include "PaddockValueObjectRepresentation.h"
#include "TestSupport.h"
#include "ValueTestSupport.h"

namespace {

// Each test starts from an empty store.
class KeyValueStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        bridge().send("setContentsOfCurrentKeyValueStore:", {base::Dictionary::make()});
    }
    void TearDown() override { SetUp(); }

    const PaddockValue::Dictionary& contents() const {
        return PaddockKeyValueStoreAccess::contents(store);
    }
    std::vector<std::string> keys() const {
        std::vector<std::string> result;
        for (const auto& entry : contents()) result.push_back(entry.first);
        std::sort(result.begin(), result.end());
        return result;
    }

    PaddockKeyValueStore& store = PaddockKeyValueStore::current();
    NotificationRecorder recorder{PaddockNotifications::keyValueStoreDidChange};
};

// The {"Key": key, "Value": value} dictionary a store notification carries.
base::Ref<base::Dictionary> change(const base::Notification& n) {
    EXPECT_EQ(n.userInfo->count(), 1u);
    return base::cast<base::Dictionary>(
        n.userInfo->objectForKey(PaddockNotifications::Key::keyValueStoreChange));
}

base::Ref<base::Dictionary> expectedChange(const char* key, base::ObjectRef value) {
    return base::Dictionary::withStringKeys({{"Key", base::String::make(key)}, {"Value", value}});
}

}  // namespace

TEST_F(KeyValueStoreTest, ReadsYieldCopiesOrNothingAndPostNothing) {
    EXPECT_EQ(&PaddockPage::current().keyValueStore(), &store);
    EXPECT_FALSE(store["never written"].value());
    EXPECT_FALSE(std::as_const(store)["never written"]);
    PaddockPage::current().keyValueStore()["list"] =
        PaddockValue::array({PaddockValue::integer(1)});
    recorder.notifications.clear();
    std::optional<PaddockValue> copy = store["list"];
    ASSERT_TRUE(copy);
    copy->asMutableArray()->clear();
    EXPECT_EQ(store["list"].value()->asArray()->size(), 1u);
    EXPECT_TRUE(recorder.notifications.empty());
}

TEST_F(KeyValueStoreTest, EveryWritePostsTheKeyAndTheValueRepresentation) {
    store["n"] = PaddockValue::integer(5);
    store["n"] = PaddockValue::integer(5);  // unchanged, still posts
    store["absent"] = std::nullopt;         // nothing to remove, still posts
    store["n"] = std::nullopt;              // removes
    PaddockValue nested = everyCase();
    store["nested"] = nested;
    store["copy"] = store["nested"];  // one write, one post

    ASSERT_EQ(recorder.notifications.size(), 6u);
    auto five = base::Number::initWithInteger(5);
    const base::Ref<base::Dictionary> expected[] = {
        expectedChange("n", five),
        expectedChange("n", five),
        expectedChange("absent", base::Null::null()),
        expectedChange("n", base::Null::null()),
        expectedChange("nested", objectRepresentation(nested)),
        expectedChange("copy", objectRepresentation(nested)),
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& n = recorder.notifications[i];
        EXPECT_EQ(n.object.get(), &store);
        auto inner = change(n);
        ASSERT_TRUE(inner) << i;
        EXPECT_TRUE(inner->isEqual(*expected[i])) << i << ": " << inner->description();
    }
    EXPECT_EQ(base::cast<base::Number>(change(recorder.notifications[0])->objectForKey("Value"))
                  ->typeCode(),
              "q");
    EXPECT_EQ(keys(), (std::vector<std::string>{"copy", "nested"}));
    EXPECT_TRUE(sameValue(*store["copy"].value(), nested));
}

TEST_F(KeyValueStoreTest, ObserversSeeTheNewStateAndMayWriteInTurn) {
    std::vector<std::string> events;
    base::ScopedObserver observer(
        PaddockNotifications::keyValueStoreDidChange, &store, [&](const base::Notification& n) {
            auto key = base::cast<base::String>(change(n)->objectForKey("Key"))->text();
            auto value = store[key].value();
            events.push_back("observed " + key + "=" + (value ? *value->asString() : "nothing"));
            if (key == "first") store["second"] = PaddockValue::string("from observer");
        });
    store["first"] = PaddockValue::string("from page");
    events.push_back("write returned");
    EXPECT_EQ(events,
              (std::vector<std::string>{"observed first=from page", "observed second=from observer",
                                        "write returned"}));
    EXPECT_EQ(keys(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(KeyValueStoreTest, InPlaceModificationWritesOnce) {
    store["list"] = PaddockValue::array({});
    recorder.notifications.clear();
    store["list"].modify([&](std::optional<PaddockValue>& value) {
        value->asMutableArray()->push_back(PaddockValue::boolean(true));
        EXPECT_TRUE(recorder.notifications.empty());
        EXPECT_TRUE(store["list"].value()->asArray()->empty());  // not written yet
    });
    store["counter"].modify([](std::optional<PaddockValue>& value) {
        value = PaddockValue::integer(value ? *value->asInteger() + 1 : 1);
    });
    ASSERT_EQ(recorder.notifications.size(), 2u);
    EXPECT_EQ(store["list"].value()->asArray()->size(), 1u);
    EXPECT_EQ(*store["counter"].value()->asInteger(), 1);
}

TEST_F(KeyValueStoreTest, HostReplacesTheContentsSilentlyDroppingWhatDoesNotConvert) {
    store["old"] = PaddockValue::boolean(true);
    recorder.notifications.clear();
    auto text = base::String::make("kept");
    base::Dictionary::Builder contents;
    contents.set("string", text);
    contents.set("null", base::Null::null());
    contents.set("array with a null", base::Array::make({text, base::Null::null()}));
    contents.set(base::Number::initWithInteger(7), text);  // not a string key
    contents.set("rect", base::Value::withRect({}));
    contents.set("nested", objectRepresentation(everyCase()));
    bridge().send("setContentsOfCurrentKeyValueStore:", {contents.build()});

    EXPECT_EQ(keys(), (std::vector<std::string>{"nested", "string"}));
    EXPECT_EQ(*store["string"].value()->asString(), "kept");
    EXPECT_TRUE(sameValue(*store["nested"].value(), everyCase()));

    bridge().send("setContentsOfCurrentKeyValueStore:", {base::Dictionary::make()});
    EXPECT_TRUE(this->contents().empty());
    EXPECT_TRUE(recorder.notifications.empty());
}

TEST_F(KeyValueStoreTest, HostSetsOrRemovesOneEntrySilently) {
    auto set = [](base::ObjectRef value, const char* key) {
        bridge().send("setCurrentKeyValueStoreValue:forKey:",
                      {std::move(value), base::String::make(key)});
    };
    set(base::Number::initWithLongLong(42), "answer");
    ASSERT_TRUE(store["answer"].value());
    EXPECT_EQ(*store["answer"].value()->asInteger(), 42);
    set(base::String::make("replaced"), "answer");
    EXPECT_EQ(*store["answer"].value()->asString(), "replaced");

    for (base::ObjectRef removing :
         {base::ObjectRef(base::Null::null()), base::ObjectRef(base::Value::withRect({})),
          base::ObjectRef(base::Array::make({base::Null::null()})), base::ObjectRef()}) {
        set(base::String::make("present"), "k");
        set(removing, "k");
        EXPECT_FALSE(store["k"].value());
    }
    EXPECT_TRUE(recorder.notifications.empty());
}

TEST_F(KeyValueStoreTest, HostArgumentsOfTheWrongKindRaiseAndChangeNothing) {
    store["keep"] = PaddockValue::integer(1);
    EXPECT_THROW(bridge().send("setContentsOfCurrentKeyValueStore:", {base::Array::make()}),
                 base::InvalidArgumentException);
    EXPECT_THROW(bridge().send("setContentsOfCurrentKeyValueStore:", {nullptr}),
                 base::InvalidArgumentException);
    EXPECT_THROW(bridge().send("setCurrentKeyValueStoreValue:forKey:",
                               {base::Null::null(), base::Number::initWithInteger(1)}),
                 base::InvalidArgumentException);
    EXPECT_EQ(keys(), std::vector<std::string>{"keep"});
}

TEST_F(KeyValueStoreTest, AWriteThatWouldSpellOutTooMuchIsRefusedWhole) {
    store["kept"] = PaddockValue::integer(1);
    recorder.notifications.clear();
    testing_support::LogRecorder log("Diagnostics");

    // 21 doublings spell out more than any writer takes: nothing changes,
    // nothing is posted, and the log says why.
    store["kept"] = doubledValue(21);
    store["new"] = doubledValue(21);
    EXPECT_TRUE(recorder.notifications.empty());
    EXPECT_EQ(keys(), (std::vector<std::string>{"kept"}));
    EXPECT_TRUE(sameValue(contents().at("kept"), PaddockValue::integer(1)));
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_TRUE(
        log.contains("store: the value for the key \"kept\" is refused", base::LogLevel::error));
    EXPECT_TRUE(log.contains("store: the value for the key \"new\" is refused"));

    // 20 are within the limit: stored and posted, still sharing its parts.
    store["kept"] = doubledValue(20);
    ASSERT_EQ(recorder.notifications.size(), 1u);
    auto posted = change(recorder.notifications[0])->objectForKey("Value");
    EXPECT_EQ(base::expandedSize(posted), testing_support::doubledArraySize(20));
    EXPECT_TRUE(sameValue(contents().at("kept"), doubledValue(20)));

    // Removing is never refused.
    store["kept"] = std::nullopt;
    EXPECT_EQ(recorder.notifications.size(), 2u);
    EXPECT_TRUE(keys().empty());
}
