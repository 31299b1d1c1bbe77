#include <gtest/gtest.h>

#include "RequestGuard.h"

namespace studio {

TEST(RequestGuard, AcceptsOnlyTheServersOwnHostAndOrigin) {
    RequestGuard guard("127.0.0.1", 8123, "abc");
    for (const char* host : {"127.0.0.1:8123", "localhost:8123"})
        EXPECT_TRUE(guard.hostIsOwn(host)) << host;
    for (const char* host : {"127.0.0.1:8124", "127.0.0.1:81234", "evil.example:8123",
                             "localhost.evil.example:8123", "", ":8123"})
        EXPECT_FALSE(guard.hostIsOwn(host)) << host;

    // An empty origin stands for a request without the header: allowed.
    for (const char* origin : {"", "http://127.0.0.1:8123"})
        EXPECT_TRUE(guard.originIsOwn(origin)) << origin;
    for (const char* origin : {"https://127.0.0.1:8123", "http://evil.example:8123", "null"})
        EXPECT_FALSE(guard.originIsOwn(origin)) << origin;
}

TEST(RequestGuard, ANonLoopbackAddressAcceptsOnlyItself) {
    RequestGuard guard("192.168.1.7", 80, "abc");
    EXPECT_TRUE(guard.hostIsOwn("192.168.1.7:80"));
    EXPECT_FALSE(guard.hostIsOwn("localhost:80"));
}

TEST(RequestGuard, TokensMustMatchExactly) {
    RequestGuard guard("127.0.0.1", 1, "0123abcd");
    EXPECT_TRUE(guard.tokenMatches("0123abcd"));
    for (const char* token : {"0123abc", "0123abce", ""})
        EXPECT_FALSE(guard.tokenMatches(token)) << token;
    EXPECT_FALSE(RequestGuard("127.0.0.1", 1, "").tokenMatches(""));

    const std::string a = makeRandomToken(), b = makeRandomToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}

TEST(RequestGuard, FindsACookieAmongOthers) {
    EXPECT_EQ(cookieValue("a=1; corral_token=xyz; b=2", "corral_token"), "xyz");
    EXPECT_EQ(cookieValue("corral_token=xyz", "corral_token"), "xyz");
    EXPECT_EQ(cookieValue("xcorral_token=no", "corral_token"), "");
    EXPECT_EQ(cookieValue("", "corral_token"), "");
}

}  // namespace studio
