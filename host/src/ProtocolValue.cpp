#include "ProtocolValue.h"

#include <cmath>
#include <limits>

#include "Corral/base/ExpandedSize.h"
#include "Corral/base/Objects.h"

namespace host {

namespace {

constexpr char base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t chunk = std::uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) chunk |= std::uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) chunk |= bytes[i + 2];
        out += base64Alphabet[(chunk >> 18) & 63];
        out += base64Alphabet[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? base64Alphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? base64Alphabet[chunk & 63] : '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> fromBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t chunk = 0;
        int padding = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            char c = text[i + k];
            int digit;
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                ++padding;
                digit = 0;
            } else {
                if (padding) return std::nullopt;  // data after padding
                const char* at = std::char_traits<char>::find(base64Alphabet, 64, c);
                if (!at) return std::nullopt;
                digit = static_cast<int>(at - base64Alphabet);
            }
            chunk = (chunk << 6) | std::uint32_t(digit);
        }
        bytes.push_back(std::uint8_t(chunk >> 16));
        if (padding < 2) bytes.push_back(std::uint8_t(chunk >> 8));
        if (padding < 1) bytes.push_back(std::uint8_t(chunk));
    }
    return bytes;
}

Json floatingPoint(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    return d;
}

std::optional<double> floatingPointFrom(const Json& value) {
    if (value.is_number()) return value.get<double>();
    if (!value.is_string()) return std::nullopt;
    const auto& text = value.get_ref<const std::string&>();
    if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (text == "inf") return std::numeric_limits<double>::infinity();
    if (text == "-inf") return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

Json number(const base::Number& n) {
    const std::string& code = n.typeCode();
    if (code == "c" || code == "C" || code == "B") return {{"boolean", n.boolValue()}};
    switch (n.storage()) {
        case base::Number::Storage::signedInteger:
            return {{"integer", n.integerValue()}};
        case base::Number::Storage::unsignedInteger:
            return {{"integer", n.unsignedIntegerValue()}};
        case base::Number::Storage::floatingPoint:
            break;
    }
    return {{"floatingPoint", floatingPoint(n.doubleValue())}};
}

Json tagged(const base::ObjectRef& object, int depth) {
    if (!object || depth > maxProtocolValueDepth) return nullptr;
    switch (object->kind()) {
        case base::Kind::string:
            return {{"string", validUtf8(static_cast<const base::String&>(*object).text())}};
        case base::Kind::number:
            return number(static_cast<const base::Number&>(*object));
        case base::Kind::null:
            return nullptr;
        case base::Kind::data:
            return {{"data", base64(static_cast<const base::Data&>(*object).bytes())}};
        case base::Kind::date:
            return {{"date", floatingPoint(static_cast<const base::Date&>(*object)
                                               .timeIntervalSinceReferenceDate())}};
        case base::Kind::value: {
            auto r = static_cast<const base::Value&>(*object).rectValue();
            return {{"rect",
                     {{"x", r.origin.x},
                      {"y", r.origin.y},
                      {"width", r.size.width},
                      {"height", r.size.height}}}};
        }
        case base::Kind::array: {
            Json elements = Json::array();
            for (const auto& element : static_cast<const base::Array&>(*object))
                elements.push_back(tagged(element, depth + 1));
            return {{"array", std::move(elements)}};
        }
        case base::Kind::dictionary: {
            Json entries = Json::object();
            for (const auto& [key, value] : static_cast<const base::Dictionary&>(*object))
                entries[validUtf8(key->description())] = tagged(value, depth + 1);
            return {{"dictionary", std::move(entries)}};
        }
        case base::Kind::block:
        case base::Kind::other:
            break;
    }
    return {{"object", object->className()}};
}

std::optional<base::ObjectRef> fromTagged(const Json& value, int depth, std::string& error) {
    if (value.is_null()) return base::ObjectRef();
    if (depth > maxProtocolValueDepth) {
        error = "the value is nested too deeply";
        return std::nullopt;
    }
    if (!value.is_object() || value.size() != 1) {
        error = "a value is an object with one key that names its kind, not " + value.dump();
        return std::nullopt;
    }
    auto entry = value.begin();
    const std::string& kind = entry.key();
    const Json& payload = entry.value();
    auto bad = [&]() -> std::optional<base::ObjectRef> {
        error = "{\"" + kind + "\":...} cannot hold " + payload.dump();
        return std::nullopt;
    };
    if (kind == "string") {
        if (!payload.is_string()) return bad();
        return base::String::make(payload.get<std::string>());
    }
    if (kind == "integer") {
        if (payload.is_number_unsigned()) {
            // Beyond the 64-bit signed range the value keeps its unsigned storage.
            auto u = payload.get<std::uint64_t>();
            if (u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
                return base::Number::initWithUnsignedLongLong(u);
            return base::Number::initWithInteger(std::int64_t(u));
        }
        if (!payload.is_number_integer()) return bad();
        return base::Number::initWithInteger(payload.get<std::int64_t>());
    }
    if (kind == "floatingPoint") {
        auto d = floatingPointFrom(payload);
        if (!d) return bad();
        return base::Number::initWithDouble(*d);
    }
    if (kind == "boolean") {
        if (!payload.is_boolean()) return bad();
        return base::Number::initWithBool(payload.get<bool>());
    }
    if (kind == "date") {
        auto d = floatingPointFrom(payload);
        if (!d) return bad();
        return base::Date::withTimeIntervalSinceReferenceDate(*d);
    }
    if (kind == "data") {
        if (!payload.is_string()) return bad();
        auto bytes = fromBase64(payload.get_ref<const std::string&>());
        if (!bytes) return bad();
        return base::Data::make(std::move(*bytes));
    }
    if (kind == "array") {
        if (!payload.is_array()) return bad();
        std::vector<base::ObjectRef> elements;
        elements.reserve(payload.size());
        for (const auto& element : payload) {
            auto object = fromTagged(element, depth + 1, error);
            if (!object) return std::nullopt;
            // An absent element is carried as the null object, as in user info.
            elements.push_back(*object ? *object : base::Null::null());
        }
        return base::Array::make(std::move(elements));
    }
    if (kind == "dictionary") {
        if (!payload.is_object()) return bad();
        base::Dictionary::Builder entries(payload.size());
        for (const auto& [key, element] : payload.items()) {
            auto object = fromTagged(element, depth + 1, error);
            if (!object) return std::nullopt;
            entries.set(key, *object ? *object : base::Null::null());
        }
        return base::ObjectRef(entries.build());
    }
    error = "unknown kind of value \"" + kind + "\"";
    return std::nullopt;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char c = byte(0);
    if (c < 0x80) return 1;
    std::size_t length;
    char32_t codePoint;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        codePoint = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        codePoint = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        codePoint = c & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(k) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = sequenceLength(text);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            length = 1;
        } else {
            out.append(text.data(), length);
        }
        text.remove_prefix(length);
    }
    return out;
}

Json taggedValue(const base::ObjectRef& object) {
    // Measured first, in time linear in the graph as built: writing a
    // graph that shares its parts as a tree could take longer than any run.
    if (!base::isWithinExpandedSizeLimit(object)) return {{"tooLarge", base::maxExpandedSize}};
    return tagged(object, 0);
}

std::optional<base::ObjectRef> objectFromTaggedValue(const Json& value, std::string& error) {
    return fromTagged(value, 0, error);
}

namespace {
void makeStringsValid(Json& value) {
    if (value.is_string()) {
        value = validUtf8(value.get_ref<const std::string&>());
    } else if (value.is_object()) {
        Json valid = Json::object();
        for (auto& [key, element] : value.items()) {
            makeStringsValid(element);
            valid[validUtf8(key)] = std::move(element);
        }
        value = std::move(valid);
    } else if (value.is_array()) {
        for (auto& element : value) makeStringsValid(element);
    }
}
}  // namespace

std::string protocolLine(const Json& message) {
    try {
        return message.dump();
    } catch (const Json::type_error&) {
        // Some text is not valid UTF-8: mend it byte by byte and write again.
        Json valid = message;
        makeStringsValid(valid);
        return valid.dump();
    }
}

}  // namespace host
