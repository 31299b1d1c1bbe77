#include "Unicode.h"

#include <cstring>

namespace base::unicode {

namespace {

// Length of the UTF-8 sequence starting with `lead`, 0 for a byte that
// cannot start one.
std::size_t sequenceLength(unsigned char lead) noexcept {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Decodes one sequence of valid UTF-8 at `p`, advancing it.
char32_t decodeOne(const unsigned char*& p) noexcept {
    unsigned char lead = *p++;
    if (lead < 0x80) return lead;
    std::size_t length = sequenceLength(lead);
    char32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) cp = (cp << 6) | (*p++ & 0x3F);
    return cp;
}

void appendUnit(std::string& out, char16_t unit) {
    out += static_cast<char>(unit >> 8);
    out += static_cast<char>(unit & 0xFF);
}

}  // namespace

bool isAscii(std::string_view text) noexcept {
    const char* p = text.data();
    std::size_t n = text.size();
    // Eight bytes at a time: any byte with its top bit set ends the run.
    while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) return false;
        p += 8;
        n -= 8;
    }
    while (n--) {
        if (static_cast<unsigned char>(*p++) >= 0x80) return false;
    }
    return true;
}

bool isValidUtf8(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (!(word & 0x8080808080808080ull)) {
                p += 8;
                continue;
            }
        }
        unsigned char lead = *p;
        std::size_t length = sequenceLength(lead);
        if (length == 0 || static_cast<std::size_t>(end - p) < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
        }
        // Overlong three- and four-byte forms, surrogates and values above
        // U+10FFFF are told apart by the second byte.
        if (lead == 0xE0 && p[1] < 0xA0) return false;
        if (lead == 0xED && p[1] >= 0xA0) return false;
        if (lead == 0xF0 && p[1] < 0x90) return false;
        if (lead == 0xF4 && p[1] >= 0x90) return false;
        p += length;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool appendUtf16BigEndianAsUtf8(std::string& out, const std::uint8_t* bytes, std::size_t count) {
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        char32_t unit = static_cast<char32_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == count) return false;
            char32_t low = static_cast<char32_t>(bytes[2 * i + 2] << 8 | bytes[2 * i + 3]);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        appendUtf8(out, unit);
    }
    return true;
}

std::size_t appendUtf8AsUtf16BigEndian(std::string& out, std::string_view text) {
    std::size_t units = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        char32_t cp = decodeOne(p);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            appendUnit(out, static_cast<char16_t>(0xD800 + (cp >> 10)));
            appendUnit(out, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            units += 2;
        } else {
            appendUnit(out, static_cast<char16_t>(cp));
            ++units;
        }
    }
    return units;
}

}  // namespace base::unicode
