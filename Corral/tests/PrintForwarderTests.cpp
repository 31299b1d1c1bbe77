#include <gtest/gtest.h>

#include <iostream>
#include <vector>

#include "Corral/CorralFramework.h"
#include "Corral/PaddockPage.h"
#include "Corral/base/Block.h"
#include "Corral/base/Log.h"
#include "Corral/base/Print.h"
#include "Corral/base/String.h"
#include "PaddockPageAccess.h"
#include "TestSupport.h"

namespace {

// Restores the runtime hook and the console hook, and records log entries
// and every callback in one ordered list.
class PrintForwarderTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedHook_ = base::_paddockPrintHook().get();
        base::_paddockPrintHook().set(std::shared_ptr<const base::PrintHook>());
        PaddockPageAccess::setConsolePrintHook(PaddockPage::current(), nullptr);
        logToken_ = base::Log::addObserver([this](const base::LogEntry& e) {
            if (e.category == "ExecutionExtension.print") events.push_back("log:" + e.message);
        });
    }
    void TearDown() override {
        std::cout.flush();
        base::Log::removeObserver(logToken_);
        PaddockPageAccess::setConsolePrintHook(PaddockPage::current(), nullptr);
        base::_paddockPrintHook().set(savedHook_);
    }

    void installPreviousHook() {
        base::_paddockPrintHook().set(
            [this](const std::string& text) { events.push_back("previous:" + text); });
    }

    base::Ref<base::Block> consoleBlock(std::string label) {
        return base::Block::make([this, label](std::span<const base::ObjectRef> args) {
            events.push_back(label + ":" + base::cast<base::String>(args[0])->text());
            return base::ObjectRef();
        });
    }

    void setConsoleHook(std::string label) {
        bridge().send("setPaddockConsolePrintHook:", {consoleBlock(std::move(label))});
    }

    std::vector<std::string> events;

private:
    std::shared_ptr<const base::PrintHook> savedHook_;
    base::Log::Token logToken_ = 0;
};

}  // namespace

TEST_F(PrintForwarderTest, WithoutHooksAPrintIsOnlyLogged) {
    bridge().send("initializeCorralFramework");
    base::print("hello");
    EXPECT_EQ(events, std::vector<std::string>{"log:hello\n"});
}

TEST_F(PrintForwarderTest, LogsThenCallsThePreviousHookThenTheConsoleHook) {
    installPreviousHook();
    bridge().send("initializeCorralFramework");
    setConsoleHook("console");
    base::print("a", "b");
    EXPECT_EQ(events, (std::vector<std::string>{"log:a b\n", "previous:a b\n", "console:a b\n"}));
}

TEST_F(PrintForwarderTest, PrintsBeforeInitialisationAreNotForwarded) {
    setConsoleHook("console");
    installPreviousHook();
    base::print("early");
    EXPECT_EQ(events, std::vector<std::string>{"previous:early\n"});
}

TEST_F(PrintForwarderTest, TheConsoleHookIsReadAtEveryPrint) {
    bridge().send("initializeCorralFramework");
    base::print("one");
    setConsoleHook("first");
    base::print("two");
    setConsoleHook("second");
    base::print("three");
    EXPECT_EQ(events, (std::vector<std::string>{"log:one\n", "log:two\n", "first:two\n",
                                                "log:three\n", "second:three\n"}));
}

TEST_F(PrintForwarderTest, SecondInitialisationWrapsTheFirstForwarder) {
    installPreviousHook();
    bridge().send("initializeCorralFramework");
    bridge().send("initializeCorralFramework");
    setConsoleHook("console");
    base::print("x");
    EXPECT_EQ(events, (std::vector<std::string>{"log:x\n", "log:x\n", "previous:x\n", "console:x\n",
                                                "console:x\n"}));
}

TEST_F(PrintForwarderTest, StandardOutputLinesReachTheConsoleHook) {
    bridge().send("initializeCorralFramework");
    setConsoleHook("console");
    std::cout << "via cout " << 42 << '\n';
    EXPECT_EQ(events, (std::vector<std::string>{"log:via cout 42\n", "console:via cout 42\n"}));
}

TEST_F(PrintForwarderTest, AConsoleHookWritingToStandardOutputDoesNotLoop) {
    bridge().send("initializeCorralFramework");
    int calls = 0;
    CorralFramework::setPaddockConsolePrintHook(
        base::Block::make([&](std::span<const base::ObjectRef> args) {
            ++calls;
            std::cout << "[console] " << base::cast<base::String>(args[0])->text();
            return base::ObjectRef();
        }));
    base::print("once");
    EXPECT_EQ(calls, 1);
}

TEST_F(PrintForwarderTest, ThePageOwnsTheConsoleBlockAfterTheHostDropsIt) {
    bridge().send("initializeCorralFramework");
    base::WeakRef<base::Block> weak;
    {
        auto block = consoleBlock("kept");
        weak = block;
        bridge().send("setPaddockConsolePrintHook:", {block});
    }
    EXPECT_FALSE(weak.expired());
    base::print("still here");
    EXPECT_EQ(events.back(), "kept:still here\n");
    setConsoleHook("replacement");
    EXPECT_TRUE(weak.expired());  // replaced blocks are released
}
