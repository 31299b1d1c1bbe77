#include "JsonWriter.h"

#include <cmath>
#include <cstdio>

#include "Corral/base/CharacterSet.h"
#include "Corral/base/Objects.h"

namespace host {

namespace {

std::string base64(const std::vector<std::uint8_t>& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t chunk = bytes[i] << 16;
        if (i + 1 < bytes.size()) chunk |= bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) chunk |= bytes[i + 2];
        out += alphabet[(chunk >> 18) & 63];
        out += alphabet[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[chunk & 63] : '=';
    }
    return out;
}

std::string number(const base::Number& n) {
    const std::string& code = n.typeCode();
    if (code == "c" || code == "B") return n.boolValue() ? "true" : "false";
    switch (n.storage()) {
        case base::Number::Storage::signedInteger:
            return std::to_string(n.integerValue());
        case base::Number::Storage::unsignedInteger:
            return std::to_string(n.unsignedIntegerValue());
        case base::Number::Storage::floatingPoint:
            break;
    }
    double d = n.doubleValue();
    if (!std::isfinite(d)) return jsonString(std::isnan(d) ? "nan" : d > 0 ? "inf" : "-inf");
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    return buffer;
}

// Iterative over containers would be overkill here: the host only renders
// notifications, whose values come from the library's own conversions.
void write(const base::ObjectRef& object, std::string& out, int depth) {
    if (!object || depth > 256) {
        out += "null";
        return;
    }
    switch (object->kind()) {
        case base::Kind::string:
            out += jsonString(static_cast<const base::String&>(*object).text());
            return;
        case base::Kind::number:
            out += number(static_cast<const base::Number&>(*object));
            return;
        case base::Kind::null:
            out += "null";
            return;
        case base::Kind::data:
            out += "{\"data\":\"" + base64(static_cast<const base::Data&>(*object).bytes()) + "\"}";
            return;
        case base::Kind::date:
            out += "{\"date\":" + jsonString(object->description()) + "}";
            return;
        case base::Kind::value: {
            auto r = static_cast<const base::Value&>(*object).rectValue();
            char buffer[160];
            std::snprintf(buffer, sizeof buffer, "{\"rect\":[%.17g,%.17g,%.17g,%.17g]}", r.origin.x,
                          r.origin.y, r.size.width, r.size.height);
            out += buffer;
            return;
        }
        case base::Kind::array: {
            out += '[';
            bool first = true;
            for (const auto& element : static_cast<const base::Array&>(*object)) {
                if (!first) out += ',';
                first = false;
                write(element, out, depth + 1);
            }
            out += ']';
            return;
        }
        case base::Kind::dictionary: {
            out += '{';
            bool first = true;
            for (const auto& [key, value] : static_cast<const base::Dictionary&>(*object)) {
                if (!first) out += ',';
                first = false;
                out += jsonString(key->description());
                out += ':';
                write(value, out, depth + 1);
            }
            out += '}';
            return;
        }
        case base::Kind::block:
        case base::Kind::other:
            break;
    }
    out += "{\"object\":" + jsonString(object->className()) + "}";
}

}  // namespace

std::string jsonString(std::string_view text) {
    // Text that is not valid UTF-8 keeps its ASCII and shows every other
    // byte as U+FFFD, so the line stays valid JSON.
    bool valid = base::isValidUTF8(text);
    std::string out = "\"";
    for (unsigned char c : text) {
        if (!valid && c >= 0x80) {
            out += "\\ufffd";
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string toJson(const base::ObjectRef& object) {
    std::string out;
    write(object, out, 0);
    return out;
}

}  // namespace host
