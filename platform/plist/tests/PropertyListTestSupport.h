#pragma once
// Helpers shared by the property-list tests.

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"

namespace plisttest {

inline std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline std::string textOf(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

inline base::PropertyListReadResult read(std::string_view text) {
    return base::readPropertyList(bytesOf(text));
}

// The reason a read fails, or "" when it succeeds.
inline std::string readFailure(std::string_view text) {
    try {
        base::readPropertyList(bytesOf(text));
    } catch (const base::PropertyListError& error) {
        return error.reason();
    }
    return "";
}

inline std::string writeFailure(const base::ObjectRef& root, base::PropertyListFormat format) {
    try {
        base::writePropertyList(root, format);
    } catch (const base::PropertyListError& error) {
        return error.reason();
    }
    return "";
}

inline base::ObjectRef str(std::string text) { return base::String::make(std::move(text)); }

// A value of every kind, with the edge cases of each.
inline base::ObjectRef everyKind() {
    using namespace base;
    return Dictionary::withStringKeys({
        {"zeta", str("first key, but not the first alphabetically")},
        {"text", str("a & b <c> ]]> \"quoted\" 'single'\ttab\nnewline")},
        {"unicode", str("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\x89 \xE4\xB8\xAD")},
        {"empty", str("")},
        {"integers",
         Array::make({Number::initWithInteger(0), Number::initWithInteger(255),
                      Number::initWithInteger(256), Number::initWithInteger(65536),
                      Number::initWithInteger(4294967296LL), Number::initWithInteger(-1),
                      Number::initWithInteger(INT64_MIN), Number::initWithInteger(INT64_MAX),
                      Number::initWithUnsignedLongLong(UINT64_MAX),
                      Number::initWithUnsignedLongLong(1ull << 63)})},
        {"reals", Array::make({Number::initWithDouble(0.1), Number::initWithDouble(-2.5e-300),
                               Number::initWithDouble(1e300), Number::initWithDouble(3.0),
                               Number::initWithDouble(-0.0), Number::initWithDouble(1.0 / 3.0)})},
        {"booleans", Array::make({Number::initWithBool(true), Number::initWithBool(false)})},
        {"dates", Array::make({Date::withTimeIntervalSinceReferenceDate(0),
                               Date::withTimeIntervalSinceReferenceDate(-978307200),
                               Date::withTimeIntervalSinceReferenceDate(700000000)})},
        {"data", Array::make({Data::make(std::vector<std::uint8_t>{}),
                              Data::make(std::vector<std::uint8_t>{0, 1, 2, 0xFF}),
                              Data::make(std::vector<std::uint8_t>(200, 0xA5))})},
        {"nested", Array::make({Dictionary::make(), Array::make(),
                                Dictionary::withStringKeys({{"inner", Array::make({str("x")})}})})},
    });
}

// Random trees of every kind of value, for comparing two ways of reading
// or writing the same lists.
class RandomTree {
public:
    explicit RandomTree(unsigned seed) : random_(seed) {}

    base::ObjectRef value(int depth) {
        switch (random_() % (depth > 4 ? 7 : 9)) {
            case 0:
            case 1:
                return base::String::make(text());
            case 2:
                return base::Number::initWithInteger(static_cast<std::int64_t>(random_()) -
                                                     (std::int64_t{1} << 31));
            case 3:
                return base::Number::initWithUnsignedLongLong(UINT64_MAX - random_() % 5);
            case 4:
                return base::Number::initWithBool(random_() % 2);
            case 5:
                return random_() % 2
                           ? base::ObjectRef(
                                 base::Number::initWithDouble(static_cast<double>(random_()) / 7.0))
                           : base::ObjectRef(base::Date::withTimeIntervalSinceReferenceDate(
                                 static_cast<double>(random_() % 100000000)));
            case 6: {
                std::vector<std::uint8_t> bytes(random_() % 3 ? random_() % 40 : 3000);
                for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random_());
                return base::Data::make(std::move(bytes));
            }
            case 7: {
                std::vector<base::ObjectRef> elements;
                for (unsigned i = 0, n = random_() % 6; i < n; ++i)
                    elements.push_back(value(depth + 1));
                return base::Array::make(std::move(elements));
            }
            default: {
                base::Dictionary::Builder builder;
                for (unsigned i = 0, n = random_() % 6; i < n; ++i)
                    builder.set(text(), value(depth + 1));
                return builder.build();
            }
        }
    }

    // Plain texts (views of the input), texts the readers must rewrite
    // (escapes, line ends, non-ASCII: copies), texts with "$", empty and
    // long ones.
    std::string text() {
        static const char* pieces[] = {
            "plain", "a&b", "<>", "line\r\nend", "caf\xC3\xA9", "\xF0\x9F\x98\x80", " ", "]]", "$"};
        std::string text;
        unsigned n = random_() % 12 == 0 ? 400 : random_() % 4;
        for (unsigned i = 0; i < n; ++i) text += pieces[random_() % std::size(pieces)];
        return text;
    }

    unsigned next() { return static_cast<unsigned>(random_()); }

private:
    std::mt19937 random_;
};

}  // namespace plisttest
