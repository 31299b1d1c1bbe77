#include <gtest/gtest.h>

#include "Corral/base/Exception.h"
#include "Corral/base/Number.h"
#include "Corral/base/Runtime.h"
#include "Corral/base/String.h"

using namespace base;

namespace {
const Class& registeredTestClass() {
    static const bool registered = [] {
        Class cls("_TestBridge");
        cls.classMethod("echo:and:", [](std::span<const ObjectRef> args) -> ObjectRef {
            auto a = cast<String>(args[0]);
            auto b = cast<String>(args[1]);
            return String::make(a->text() + "+" + (b ? b->text() : "nil"));
        });
        cls.classMethod("ping", [](std::span<const ObjectRef>) -> ObjectRef {
            return Number::initWithBool(true);
        });
        return Runtime::shared().registerClass(std::move(cls));
    }();
    EXPECT_TRUE(registered);
    return *Runtime::shared().lookUpClass("_TestBridge");
}
}  // namespace

TEST(RuntimeTest, LooksClassesUpByExactName) {
    const Class& cls = registeredTestClass();
    EXPECT_EQ(Runtime::shared().lookUpClass("_TestBridge"), &cls);
    EXPECT_EQ(Runtime::shared().lookUpClass("TestBridge"), nullptr);
    EXPECT_EQ(Runtime::shared().lookUpClass("_testbridge"), nullptr);
    EXPECT_FALSE(Runtime::shared().registerClass(Class("_TestBridge")));  // first one stays
    EXPECT_TRUE(Runtime::shared().lookUpClass("_TestBridge")->respondsToSelector("ping"));
}

TEST(RuntimeTest, SendsArgumentsInOrderAndReturnsTheResult) {
    const Class& cls = registeredTestClass();
    auto result = cast<String>(cls.send("echo:and:", {String::make("a"), String::make("b")}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text(), "a+b");
    result = cast<String>(cls.send("echo:and:", {String::make("a"), nullptr}));
    EXPECT_EQ(result->text(), "a+nil");
    EXPECT_TRUE(cast<Number>(cls.send("ping"))->boolValue());
    EXPECT_EQ(cls.selectors(), (std::vector<std::string>{"echo:and:", "ping"}));
}

TEST(RuntimeTest, UnknownSelectorsAndWrongArgumentCountsRaiseInvalidArgument) {
    const Class& cls = registeredTestClass();
    try {
        cls.send("pong");
        FAIL() << "no exception";
    } catch (const InvalidArgumentException& e) {
        EXPECT_EQ(e.name(), "InvalidArgumentException");
        EXPECT_NE(e.reason().find("pong"), std::string::npos);
        EXPECT_NE(e.reason().find("_TestBridge"), std::string::npos);
    }
    EXPECT_THROW(cls.send("ping:", {String::make("x")}), InvalidArgumentException);
    EXPECT_THROW(cls.send("echo:and:", {String::make("x")}), InvalidArgumentException);
    EXPECT_EQ(selectorArity("setCurrentKeyValueStoreValue:forKey:"), 2u);
}

TEST(FatalErrorDeathTest, ReportsSourceLineAndMessageThenAborts) {
    EXPECT_DEATH(fatalError("Corral/PaddockPage", 42, "boom"),
                 "^Corral/PaddockPage:42: Fatal error: boom\n$");
    EXPECT_DEATH(fatalError("Stagehand/AppDelegate", 7),
                 "^Stagehand/AppDelegate:7: Fatal error\n$");
}
