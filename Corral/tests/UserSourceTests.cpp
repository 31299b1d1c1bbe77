#include <gtest/gtest.h>

#include "Corral/PaddockPage.h"
#include "Corral/base/Objects.h"
#include "TestSupport.h"

namespace {
using Args = std::span<const base::ObjectRef>;

base::Ref<base::Block> returning(base::ObjectRef result) {
    return base::Block::make([result](Args) { return result; });
}

base::Ref<base::Array> strings(std::initializer_list<const char*> texts) {
    std::vector<base::ObjectRef> elements;
    for (const char* t : texts) elements.push_back(base::String::make(t));
    return base::Array::make(std::move(elements));
}
}  // namespace

TEST(UserSourceDeathTest, BeforeTheHostInstallsProvidersEveryAnswerIsEmpty) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process: the default providers
    EXPECT_EXIT(
        {
            auto& page = PaddockPage::current();
            bool empty = page.text().empty() && page.userModuleNames().empty() &&
                         page.listSourceFiles("Any").empty() &&
                         !page.getText("main.cpp", "Any").has_value();
            std::exit(empty ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(UserSourceTest, HostAnswersAreConvertedAtTheBoundary) {
    auto& page = PaddockPage::current();
    bridge().send("setPaddockPageTextProvider:", {returning(base::String::make("page text"))});
    bridge().send("setUserModuleNamesProvider:", {returning(strings({"Shapes", "Util"}))});
    std::vector<std::string> listed;
    bridge().send("setUserModuleSourceFileListProvider:", {base::Block::make([&](Args args) {
                      listed.push_back(base::cast<base::String>(args[0])->text());
                      return base::ObjectRef(strings({"a.cpp", "b.h"}));
                  })});
    EXPECT_EQ(page.text(), "page text");
    EXPECT_EQ(page.userModuleNames(), (std::vector<std::string>{"Shapes", "Util"}));
    EXPECT_EQ(page.listSourceFiles("Shapes"), (std::vector<std::string>{"a.cpp", "b.h"}));
    EXPECT_EQ(listed, std::vector<std::string>{"Shapes"});

    // Nulls read as the empty answer; non-string elements are skipped.
    bridge().send("setPaddockPageTextProvider:", {returning(nullptr)});
    bridge().send("setUserModuleNamesProvider:", {returning(nullptr)});
    bridge().send("setUserModuleSourceFileListProvider:",
                  {returning(base::Array::make(
                      {base::String::make("x.cpp"), base::Number::initWithInteger(1)}))});
    EXPECT_EQ(page.text(), "");
    EXPECT_TRUE(page.userModuleNames().empty());
    EXPECT_EQ(page.listSourceFiles("M"), std::vector<std::string>{"x.cpp"});
}

TEST(UserSourceTest, FileTextGetsTheFileNameFirstAndNullMeansNoValue) {
    auto& page = PaddockPage::current();
    std::vector<std::string> arguments;
    bridge().send("setUserModuleSourceFileTextProvider:", {base::Block::make([&](Args args) {
                      for (const auto& a : args)
                          arguments.push_back(base::cast<base::String>(a)->text());
                      bool known = base::cast<base::String>(args[0])->text() == "main.cpp";
                      return known ? base::ObjectRef(base::String::make("int x;"))
                                   : base::ObjectRef();
                  })});
    EXPECT_EQ(page.getText("main.cpp", "Shapes"), "int x;");
    EXPECT_EQ(arguments, (std::vector<std::string>{"main.cpp", "Shapes"}));
    EXPECT_EQ(page.getText("missing.cpp", "Shapes"), std::nullopt);
}

TEST(UserSourceTest, EveryReadAsksAgainAndReplacementReleasesTheOldBlock) {
    auto& page = PaddockPage::current();
    int calls = 0;
    base::WeakRef<base::Block> first;
    {
        auto block = base::Block::make([&](Args) {
            return base::ObjectRef(base::String::make("v" + std::to_string(++calls)));
        });
        first = block;
        bridge().send("setPaddockPageTextProvider:", {block});
    }
    EXPECT_EQ(page.text(), "v1");
    EXPECT_EQ(page.text(), "v2");
    EXPECT_FALSE(first.expired());  // the page owns the host's block
    bridge().send("setPaddockPageTextProvider:", {returning(base::String::make("second"))});
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(page.text(), "second");
    EXPECT_EQ(calls, 2);
}

TEST(UserSourceTest, AProviderReplacedDuringItsOwnCallStaysAliveUntilItReturns) {
    auto& page = PaddockPage::current();
    auto state = std::make_shared<std::string>("captured state");
    bridge().send("setUserModuleNamesProvider:", {base::Block::make([state](Args) {
                      bridge().send("setUserModuleNamesProvider:", {returning(strings({"new"}))});
                      // Under AddressSanitizer, reading a destroyed capture is caught here.
                      return base::ObjectRef(strings({state->c_str()}));
                  })});
    state.reset();
    EXPECT_EQ(page.userModuleNames(), std::vector<std::string>{"captured state"});
    EXPECT_EQ(page.userModuleNames(), std::vector<std::string>{"new"});
}

TEST(UserSourceDeathTest, TheSharedDataDirectoryStopsTheProcessOnFirstUse) {
    EXPECT_DEATH(paddockSharedDataDirectory(),
                 "^Corral/PaddockPage:203: Fatal error: paddockSharedDataDirectory is not "
                 "supported in Sandlot\n$");
}
