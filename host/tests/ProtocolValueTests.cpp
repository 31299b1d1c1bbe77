// The protocol's values and events: every value reads back as it was
// written, and no two different values print alike.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ConsoleStream.h"
#include "Corral/PaddockNotifications.h"
#include "Corral/base/ExpandedSize.h"
#include "Corral/base/Objects.h"
#include "Corral/testing/SharedGraphs.h"
#include "ProtocolEvents.h"
#include "ProtocolValue.h"

using host::Json;
namespace Key = PaddockNotifications::Key;

namespace {
base::ObjectRef roundTrip(const base::ObjectRef& object) {
    std::string error;
    Json line = Json::parse(host::protocolLine(host::taggedValue(object)));
    auto back = host::objectFromTaggedValue(line, error);
    EXPECT_TRUE(back) << error;
    return back ? *back : nullptr;
}
}  // namespace

TEST(ProtocolValueTest, EveryKindRoundTripsExactly) {
    std::vector<base::ObjectRef> values = {
        base::String::make("h\xC3\xA9llo \"quoted\"\n\t\\"),
        base::String::make(""),
        base::Number::initWithInteger(std::numeric_limits<std::int64_t>::min()),
        base::Number::initWithInteger(std::numeric_limits<std::int64_t>::max()),
        base::Number::initWithUnsignedLongLong(std::numeric_limits<std::uint64_t>::max()),
        base::Number::initWithDouble(0.1),
        base::Number::initWithDouble(-0.0),
        base::Number::initWithDouble(5e-324),
        base::Number::initWithDouble(std::numeric_limits<double>::infinity()),
        base::Number::initWithDouble(-std::numeric_limits<double>::infinity()),
        base::Number::initWithBool(true),
        base::Date::withTimeIntervalSinceReferenceDate(-978307200.5),
        base::Data::make(std::vector<std::uint8_t>{}),
        base::Data::make(std::vector<std::uint8_t>{0, 1, 2, 255}),
        base::Data::make(std::vector<std::uint8_t>{7}),
        base::Array::make({base::Number::initWithInteger(1), base::Array::make({})}),
        base::Dictionary::withStringKeys(
            {{"a", base::String::make("b")}, {"nested", base::Dictionary::make()}}),
    };
    for (const auto& value : values) {
        auto back = roundTrip(value);
        ASSERT_TRUE(back) << value->description();
        EXPECT_TRUE(back->isEqual(*value))
            << value->description() << " came back as " << back->description();
    }
    auto negativeZero = base::cast<base::Number>(roundTrip(base::Number::initWithDouble(-0.0)));
    ASSERT_TRUE(negativeZero);
    EXPECT_TRUE(std::signbit(negativeZero->doubleValue()));
    auto nan = base::cast<base::Number>(
        roundTrip(base::Number::initWithDouble(std::numeric_limits<double>::quiet_NaN())));
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(nan->doubleValue()));
}

TEST(ProtocolValueTest, ValuesThatUsedToPrintAlikeDoNotAndNumbersAreShortest) {
    auto line = [](const base::ObjectRef& o) { return host::protocolLine(host::taggedValue(o)); };
    EXPECT_EQ(line(base::Number::initWithDouble(0.1)), R"({"floatingPoint":0.1})");
    EXPECT_EQ(line(base::Number::initWithDouble(1.0)), R"({"floatingPoint":1.0})");
    EXPECT_EQ(line(base::Number::initWithInteger(1)), R"({"integer":1})");
    EXPECT_EQ(line(base::Number::initWithBool(false)), R"({"boolean":false})");
    EXPECT_NE(line(base::Number::initWithDouble(std::nan(""))), line(base::String::make("nan")));
    EXPECT_NE(line(base::Data::make(std::vector<std::uint8_t>{1})),
              line(base::Dictionary::withStringKeys({{"data", base::String::make("AQ==")}})));
    EXPECT_EQ(line(nullptr), "null");
}

TEST(ProtocolValueTest, OnlyTheBadBytesOfATextAreReplaced) {
    // One stray byte, a truncated sequence and an overlong encoding among good text.
    std::string text = "\xC3\xA9 \xFF ok \xE2\x82 \xC0\xAF end \xF0\x9F\x98\x80";
    EXPECT_EQ(host::validUtf8(text),
              "\xC3\xA9 \xEF\xBF\xBD ok \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD end "
              "\xF0\x9F\x98\x80");
    // Surrogates encoded in UTF-8 are not text either.
    EXPECT_EQ(host::validUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    // A whole message with a bad byte in a value and in a key still goes out as JSON.
    Json message = {{"event", "console"}, {"text", "caf\xC3\xA9 \xFE"}, {"k\xFF", 1}};
    Json back = Json::parse(host::protocolLine(message));
    EXPECT_EQ(back["text"], "caf\xC3\xA9 \xEF\xBF\xBD");
    EXPECT_TRUE(back.contains("k\xEF\xBF\xBD"));
}

TEST(ProtocolValueTest, MalformedValuesAreRefusedWithAReason) {
    const char* const bad[] = {
        R"("just text")",       R"({"string":1})",
        R"({"integer":1.5})",   R"({"floatingPoint":"NaN"})",
        R"({"boolean":0})",     R"({"data":"abc"})",
        R"({"data":"A=AA"})",   R"({"array":{}})",
        R"({"dictionary":[]})", R"({"string":"a","integer":1})",
        R"({"colour":"red"})",  R"({"array":[{"integer":"1"}]})",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(host::objectFromTaggedValue(Json::parse(text), error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    Json deep = {{"integer", 1}};
    for (int i = 0; i < host::maxProtocolValueDepth + 5; ++i) deep = {{"array", {deep}}};
    std::string error;
    EXPECT_FALSE(host::objectFromTaggedValue(deep, error));
    EXPECT_NE(error.find("deeply"), std::string::npos);
}

TEST(ProtocolValueTest, AValueSharingItsPartsTooOftenIsWrittenAsAMarker) {
    // As a tree, 21 doublings would be millions of JSON values; the event
    // gets one marker that says how far past what a value may spell out.
    Json marker = host::taggedValue(testing_support::doubledArray(21));
    EXPECT_EQ(marker, Json({{"tooLarge", base::maxExpandedSize}}));
    EXPECT_EQ(host::protocolLine(marker), "{\"tooLarge\":67108864}");
    std::string error;
    EXPECT_FALSE(host::objectFromTaggedValue(marker, error));

    // Within the limit a shared part is written wherever it occurs.
    std::string line = host::protocolLine(host::taggedValue(testing_support::doubledArray(3)));
    std::size_t leaves = 0;
    for (auto at = line.find("\"leaf\""); at != std::string::npos;
         at = line.find("\"leaf\"", at + 1))
        ++leaves;
    EXPECT_EQ(leaves, 8u);
}

TEST(ProtocolEventsTest, AssessmentStatusGoesBothWays) {
    std::string error;
    auto pass = host::assessmentStatusObject(Json::parse(R"({"pass":"Well done"})"), error);
    ASSERT_TRUE(pass) << error;
    auto passDict = base::cast<base::Dictionary>(*pass);
    ASSERT_TRUE(passDict);
    EXPECT_EQ(passDict->objectForKey("Status")->description(), "Pass");
    EXPECT_EQ(passDict->objectForKey("Message")->description(), "Well done");

    auto fail = host::assessmentStatusObject(
        Json::parse(R"({"fail":{"hints":["a","b"],"solution":null}})"), error);
    ASSERT_TRUE(fail) << error;
    auto failDict = base::cast<base::Dictionary>(*fail);
    ASSERT_TRUE(failDict);
    EXPECT_EQ(base::cast<base::Array>(failDict->objectForKey("Hints"))->count(), 2u);
    EXPECT_FALSE(failDict->objectForKey("Solution"));

    auto cleared = host::assessmentStatusObject(nullptr, error);
    ASSERT_TRUE(cleared);
    EXPECT_FALSE(*cleared);
    for (const char* text :
         {R"({"pass":3})", R"({"fail":{"hints":"x"}})", R"("Pass")", R"({"fail":{"hints":[1]}})"}) {
        EXPECT_FALSE(host::assessmentStatusObject(Json::parse(text), error)) << text;
    }

    // The notification's flat form reads as the same protocol status.
    auto info = base::Dictionary::withStringKeys(
        {{Key::assessmentPassed, base::Number::initWithBool(false)},
         {Key::assessmentFailedHints, base::Array::make({base::String::make("h")})}});
    EXPECT_EQ(host::assessmentStatusFromUserInfo(info),
              Json::parse(R"({"fail":{"hints":["h"],"solution":null}})"));
    auto cleared2 = base::Dictionary::withStringKeys({{Key::assessmentPassed, base::Null::null()}});
    EXPECT_TRUE(host::assessmentStatusFromUserInfo(cleared2).is_null());
}

TEST(ProtocolEventsTest, LinksBecomeTheirOwnEvents) {
    auto link = [](const std::string& payload, base::ObjectRef location = nullptr) {
        base::Dictionary::Builder info;
        info.set(Key::linkRequestPayload, base::String::make(payload));
        if (location) info.set(Key::showGlossaryLocation, location);
        return host::eventForNotification(
            {PaddockNotifications::requestsToHandleLink, nullptr, info.build()}, "run");
    };
    EXPECT_EQ(link("@next"), Json::parse(R"({"event":"openPage","reference":"@next"})"));
    auto glossary = link("glossary://for%20loop%2", base::Value::withRect({{49, 24}, {2, 2}}));
    EXPECT_EQ(glossary["event"], "glossary");
    EXPECT_EQ(glossary["name"], "for loop%2");  // a cut-off escape stays as it is
    EXPECT_EQ(glossary["location"]["x"], 49.0);
    EXPECT_TRUE(link("glossary://x")["location"].is_null());
    EXPECT_EQ(link("x-paddocks://document?contentIdentifier=a&page=3")["event"], "openDocument");
    EXPECT_EQ(link("x-paddocks-launch-app://b?bazaarID=42")["event"], "openApplication");
}

TEST(ConsoleStreamTest, LinesPartialLinesAndEndlessLines) {
    host::ConsoleStream stream("stderr");
    auto events = stream.add("one\ntw");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["text"], "one");
    EXPECT_EQ(events[0]["stream"], "stderr");
    EXPECT_FALSE(events[0]["partial"].get<bool>());
    events = stream.add("o\r\n\nthree");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]["text"], "two");
    EXPECT_EQ(events[1]["text"], "");
    events = stream.finish();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["text"], "three");
    EXPECT_TRUE(events[0]["partial"].get<bool>());
    EXPECT_TRUE(stream.finish().empty());

    // An endless line comes out in pieces that never split a character.
    std::string euros;
    for (std::size_t i = 0; i < host::ConsoleStream::maxLine; ++i) euros += "\xE2\x82\xAC";
    events = stream.add(euros);
    std::string joined;
    for (auto& e : events) {
        EXPECT_TRUE(e["partial"].get<bool>());
        joined += e["text"].get<std::string>();
    }
    for (auto& e : stream.finish()) joined += e["text"].get<std::string>();
    EXPECT_EQ(joined, euros);
}
