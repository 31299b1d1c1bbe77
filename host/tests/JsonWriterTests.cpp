#include <gtest/gtest.h>

#include "Corral/base/Objects.h"
#include "JsonWriter.h"

using host::toJson;

TEST(JsonWriterTest, RendersEveryObjectKind) {
    auto info = base::Dictionary::withStringKeys({
        {"b", base::Number::initWithBool(true)},
        {"i", base::Number::initWithInteger(-3)},
        {"d", base::Number::initWithDouble(1.5)},
        {"s", base::String::make("quote \" slash \\ newline \n tab \t bell \x07")},
        {"n", base::Null::null()},
        {"a", base::Array::make({base::Data::make(std::vector<std::uint8_t>{0xff, 0, 1})})},
        {"t", base::Date::withTimeIntervalSinceReferenceDate(0)},
        {"r", base::Value::withRect(base::Rect(1, 2, 3, 4))},
    });
    EXPECT_EQ(toJson(info),
              "{\"b\":true,\"i\":-3,\"d\":1.5,"
              "\"s\":\"quote \\\" slash \\\\ newline \\n tab \\t bell \\u0007\","
              "\"n\":null,\"a\":[{\"data\":\"/wAB\"}],\"t\":{\"date\":\"2001-01-01T00:00:00Z\"},"
              "\"r\":{\"rect\":[1,2,3,4]}}");
    EXPECT_EQ(toJson(nullptr), "null");
    EXPECT_EQ(toJson(base::Number::initWithDouble(1.0 / 0.0)), "\"inf\"");
    EXPECT_EQ(toJson(base::String::make("ok \xC3\xA9 \xFF")), "\"ok \\ufffd\\ufffd \\ufffd\"");
}
