#include "base/PropertyList.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "PropertyListCodec.h"
#include "Unicode.h"
#include "base/String.h"

namespace base {

namespace plist {

void invalid(std::string_view detail) {
    throw PropertyListError("not a valid property list: " + std::string(detail));
}

void unwritable(std::string_view detail) {
    throw PropertyListError("cannot write property list: " + std::string(detail));
}

void enterLevel(std::size_t& depth, bool writing) {
    if (depth < propertyListMaxDepth) {
        ++depth;
        return;
    }
    std::string detail =
        "containers nested deeper than " + std::to_string(propertyListMaxDepth) + " levels";
    if (writing) unwritable(detail);
    invalid(detail);
}

NumberForm numberForm(const Number& number) noexcept {
    const std::string& code = number.typeCode();
    if (code == "c" || code == "C" || code == "B") return NumberForm::boolean;
    if (code == "f" || code == "d" || number.storage() == Number::Storage::floatingPoint)
        return NumberForm::real;
    if (number.storage() == Number::Storage::unsignedInteger &&
        number.unsignedIntegerValue() > static_cast<std::uint64_t>(INT64_MAX))
        return NumberForm::unsignedInteger;
    return NumberForm::signedInteger;
}

// Readers hand out one shared object for each boolean and each small
// integer: they are immutable, and large lists hold many of them.
Ref<Number> booleanObject(bool value) {
    static const Ref<Number> yes = Number::initWithBool(true), no = Number::initWithBool(false);
    return value ? yes : no;
}

Ref<Number> integerObject(std::int64_t value) {
    static const auto small = [] {
        std::array<Ref<Number>, 256> numbers;
        for (std::size_t i = 0; i < numbers.size(); ++i)
            numbers[i] = Number::initWithInteger(static_cast<std::int64_t>(i));
        return numbers;
    }();
    if (value >= 0 && value < 256) return small[static_cast<std::size_t>(value)];
    return Number::initWithInteger(value);
}

Ref<Number> unsignedIntegerObject(std::uint64_t value) {
    if (value <= static_cast<std::uint64_t>(INT64_MAX))
        return Number::initWithInteger(static_cast<std::int64_t>(value));
    return Number::initWithUnsignedLongLong(value);
}

const std::string& writableText(const Object& string) {
    const std::string& text = static_cast<const String&>(string).text();
    if (!unicode::isValidUtf8(text)) unwritable("a string is not valid UTF-8");
    return text;
}

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A document that starts with "<" is XML unless what follows up to the
// closing ">" is hex digits and white space: the old format's data.
bool looksLikeXml(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) bytes = bytes.subspan(3);
    // A UTF-16 byte order mark, or a "<" of UTF-16 text, is XML.
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE")) return true;
    if (bytes.size() >= 2 && ((bytes[0] == 0 && bytes[1] == '<') || (bytes[0] == '<' && bytes[1] == 0)))
        return true;
    auto it = std::find_if_not(bytes.begin(), bytes.end(), isSpace);
    if (it == bytes.end() || *it != '<') return false;
    for (++it; it != bytes.end() && *it != '>'; ++it) {
        if (!isSpace(*it) && !std::isxdigit(*it)) return true;
    }
    return false;
}

}  // namespace
}  // namespace plist

PropertyListReadResult readPropertyList(std::span<const std::uint8_t> bytes) {
    if (plist::startsWith(bytes, "bplist")) {
        return {plist::readBinary(bytes), PropertyListFormat::binary};
    }
    if (plist::looksLikeXml(bytes)) return {plist::readXml(bytes), PropertyListFormat::xml};
    return {plist::readText(bytes), PropertyListFormat::openStep};
}

std::vector<std::uint8_t> writePropertyList(const ObjectRef& root, PropertyListFormat format,
                                            std::size_t sizeHint) {
    if (!root) plist::unwritable("there is no root object");
    std::vector<std::uint8_t> out;
    out.reserve(sizeHint);
    switch (format) {
        case PropertyListFormat::xml:
            plist::writeXml(root, out);
            break;
        case PropertyListFormat::binary:
            plist::writeBinary(root, out);
            break;
        case PropertyListFormat::openStep:
            plist::unwritable("the old text format can be read but not written");
    }
    return out;
}

std::string_view propertyListFormatName(PropertyListFormat format) noexcept {
    switch (format) {
        case PropertyListFormat::openStep:
            return "text";
        case PropertyListFormat::xml:
            return "XML";
        case PropertyListFormat::binary:
            return "binary";
    }
    return "unknown";
}

}  // namespace base
