// A process that runs in a locale with a decimal comma (a German one here)
// must still write and read every number the libraries handle as "1.5".
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>
#include <stdexcept>
#include <string>
#include <vector>

#include "Corral/base/Objects.h"
#include "Corral/base/Print.h"
#include "Corral/plist/PropertyList.h"

using namespace base;

namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

// Switches the C and C++ locales of the whole process to German for one
// test, and back afterwards.
class GermanLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedC_ = std::setlocale(LC_ALL, nullptr);
        try {
            savedCpp_ = std::locale::global(std::locale(kGerman));  // also sets the C locale
        } catch (const std::runtime_error&) {
            GTEST_SKIP() << kGerman << " is not installed (scripts/install-deps generates it)";
        }
        switched_ = true;
        char check[16];
        std::snprintf(check, sizeof check, "%.1f", 1.5);
        ASSERT_STREQ(check, "1,5") << "the German locale did not take effect";
    }
    void TearDown() override {
        if (!switched_) return;
        std::locale::global(savedCpp_);
        std::setlocale(LC_ALL, savedC_.c_str());
    }

private:
    std::string savedC_;
    std::locale savedCpp_;
    bool switched_ = false;
};

std::string textOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

ObjectRef readXml(const std::string& body) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>\n";
    return readPropertyList({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}).root;
}

}  // namespace

TEST_F(GermanLocaleTest, PrintsWriteNumbersWithAPointAndNoGrouping) {
    const auto saved = _paddockPrintHook().get();
    std::vector<std::string> heard;
    _paddockPrintHook().set([&](const std::string& text) { heard.push_back(text); });
    print(1.5, 1234567, -0.25);
    _paddockPrintHook().set(saved);
    EXPECT_EQ(heard, std::vector<std::string>{"1.5 1234567 -0.25\n"});
}

TEST_F(GermanLocaleTest, DescriptionsWriteNumbersWithAPoint) {
    EXPECT_EQ(Number::initWithDouble(0.1)->description(), "0.10000000000000001");
    EXPECT_EQ(Number::initWithDouble(-2.5e-300)->description(), "-2.5e-300");
    EXPECT_EQ(Value::withRect(Rect(1.5, 2, 3.25, 4))->description(), "Rect: {{1.5, 2}, {3.25, 4}}");
    EXPECT_EQ(Date::withTimeIntervalSinceReferenceDate(1e15 + 0.5)->description(),
              "1000000000000000.500000");
}

TEST_F(GermanLocaleTest, PropertyListsWriteAndReadRealsWithAPoint) {
    auto root = Array::make({Number::initWithDouble(1.5), Number::initWithDouble(-1234.0625)});
    const auto xml = textOf(writePropertyList(root, PropertyListFormat::xml));
    EXPECT_NE(xml.find("<real>1.5</real>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<real>-1234.0625</real>"), std::string::npos) << xml;

    auto read = cast<Array>(
        readXml("<array><real>2.75</real><real>1.5e999</real><real>-2.5e-999</real></array>"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->count(), 3u);
    EXPECT_EQ(cast<Number>(read->at(0))->doubleValue(), 2.75);
    // Beyond the range of a double: infinity and (negative) zero, not 1 and -2
    // as a reader stopping at the point would make them.
    EXPECT_EQ(cast<Number>(read->at(1))->doubleValue(), INFINITY);
    EXPECT_EQ(cast<Number>(read->at(2))->doubleValue(), 0.0);
    EXPECT_TRUE(std::signbit(cast<Number>(read->at(2))->doubleValue()));
}
