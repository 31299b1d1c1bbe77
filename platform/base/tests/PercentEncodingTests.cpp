#include <gtest/gtest.h>

#include "Corral/base/CharacterSet.h"
#include "Corral/base/URL.h"

using namespace base;

TEST(PercentEncodingTest, HostAllowedCharactersStayAndOthersBecomeUppercaseEscapes) {
    const auto& host = CharacterSet::urlHostAllowed();
    EXPECT_EQ(addingPercentEncoding("Hello World", host), "Hello%20World");
    EXPECT_EQ(addingPercentEncoding("a-b._~!$&'()*+,;=:[]", host), "a-b._~!$&'()*+,;=:[]");
    EXPECT_EQ(addingPercentEncoding("a/b?c#d%e\"f", host), "a%2Fb%3Fc%23d%25e%22f");
    // Non-ASCII text is escaped byte by byte in UTF-8.
    EXPECT_EQ(addingPercentEncoding("caf\xC3\xA9", host), "caf%C3%A9");
    EXPECT_EQ(addingPercentEncoding("\xF0\x9F\x90\x8E", host), "%F0%9F%90%8E");
    EXPECT_EQ(addingPercentEncoding("", host), "");
}

TEST(PercentEncodingTest, InvalidUtf8HasNoEncoding) {
    const auto& host = CharacterSet::urlHostAllowed();
    EXPECT_EQ(addingPercentEncoding("\xC3", host), std::nullopt);              // truncated
    EXPECT_EQ(addingPercentEncoding("\xC0\xAF", host), std::nullopt);          // overlong
    EXPECT_EQ(addingPercentEncoding("\xED\xA0\x80", host), std::nullopt);      // surrogate
    EXPECT_EQ(addingPercentEncoding("\xF4\x90\x80\x80", host), std::nullopt);  // too large
    EXPECT_EQ(addingPercentEncoding("\xFF", host), std::nullopt);
    EXPECT_TRUE(isValidUTF8("\xF4\x8F\xBF\xBF"));
}

TEST(URLTest, SplitsTheScheme) {
    EXPECT_EQ(URL("glossary://x").scheme(), "glossary");
    EXPECT_TRUE(URL::fileURLWithPath("/tmp/a").isFileURL());
    EXPECT_EQ(URL::fileURLWithPath("/tmp/a").absoluteString(), "file:///tmp/a");
    EXPECT_EQ(URL("no-scheme").scheme(), "");
}
