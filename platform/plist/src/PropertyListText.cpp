// The old text property-list format, read only: dictionaries
// { key = value; }, arrays ( a, b ), data <0fbd 77>, strings quoted with
// double or single quotes (with backslash escapes) or unquoted, and // and
// /* */ comments. Every scalar reads as a string.

#include <algorithm>

#include "PropertyListCodec.h"
#include "Unicode.h"

namespace base::plist {

namespace {

bool isUnquotedCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '+' || c == '/' || c == ':' || c == '.' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class TextReader {
public:
    TextReader(std::span<const std::uint8_t> bytes, PropertyListSink& sink)
        : sink_(sink),
          begin_(reinterpret_cast<const char*>(bytes.data())),
          p_(begin_),
          end_(begin_ + bytes.size()) {}

    void read() {
        if (!unicode::isValidUtf8(std::string_view(p_, static_cast<std::size_t>(end_ - p_))))
            invalid("the text is not valid UTF-8");
        if (end_ - p_ >= 3 && std::string_view(p_, 3) == "\xEF\xBB\xBF") p_ += 3;
        skipSpace();
        if (p_ == end_) invalid("the document holds no value");
        value();
        skipSpace();
        if (p_ != end_) fail("text after the root value");
    }

private:
    [[noreturn]] void fail(std::string_view what) const {
        auto line = 1 + std::count(begin_, std::min(p_, end_), '\n');
        invalid(std::string(what) + " at line " + std::to_string(line));
    }

    void skipSpace() {
        while (p_ < end_) {
            char c = *p_;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++p_;
            } else if (c == '/' && end_ - p_ >= 2 && p_[1] == '/') {
                p_ = std::find(p_, end_, '\n');
            } else if (c == '/' && end_ - p_ >= 2 && p_[1] == '*') {
                std::string_view rest(p_ + 2, static_cast<std::size_t>(end_ - p_ - 2));
                auto close = rest.find("*/");
                if (close == std::string_view::npos) fail("an unterminated comment");
                p_ += 2 + close + 2;
            } else {
                return;
            }
        }
    }

    void expect(char c, std::string_view what) {
        skipSpace();
        if (p_ == end_ || *p_ != c) fail(what);
        ++p_;
    }

    void value() {
        if (p_ == end_) fail("a missing value");
        switch (*p_) {
            case '{':
                return dictionary();
            case '(':
                return array();
            case '<':
                return data();
            default:
                return sink_.string(string());
        }
    }

    // A quoted or unquoted string.
    std::string string() {
        if (*p_ == '"' || *p_ == '\'') return quoted();
        if (isUnquotedCharacter(*p_)) return unquoted();
        fail("an unexpected character");
    }

    void dictionary() {
        DepthGuard guard(depth_, false);
        ++p_;
        sink_.beginDictionary();
        for (;;) {
            skipSpace();
            if (p_ == end_) fail("an unterminated dictionary");
            if (*p_ == '}') break;
            if (*p_ != '"' && *p_ != '\'' && !isUnquotedCharacter(*p_))
                fail("a dictionary key that is not a string");
            sink_.key(string());
            expect('=', "a missing \"=\" after a dictionary key");
            skipSpace();
            value();
            expect(';', "a missing \";\" after a dictionary value");
        }
        ++p_;
        sink_.endContainer();
    }

    void array() {
        DepthGuard guard(depth_, false);
        ++p_;
        sink_.beginArray();
        for (;;) {
            skipSpace();
            if (p_ == end_) fail("an unterminated array");
            if (*p_ == ')') break;
            value();
            skipSpace();
            if (p_ != end_ && *p_ == ',') {
                ++p_;
            } else if (p_ == end_ || *p_ != ')') {
                fail("a missing \",\" between array elements");
            }
        }
        ++p_;
        sink_.endContainer();
    }

    void data() {
        ++p_;
        std::vector<std::uint8_t> bytes;
        int high = -1;
        for (; p_ < end_ && *p_ != '>'; ++p_) {
            char c = *p_;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            int digit = hexValue(c);
            if (digit < 0) fail("a non-hex character in data");
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
                high = -1;
            }
        }
        if (p_ == end_) fail("unterminated data");
        if (high >= 0) fail("data with an odd number of hex digits");
        ++p_;
        sink_.data(bytes);
    }

    std::string unquoted() {
        const char* start = p_;
        while (p_ < end_ && isUnquotedCharacter(*p_)) ++p_;
        return std::string(start, p_);
    }

    // Reads up to `limit` digits of `base` after the escape character.
    char32_t escapedNumber(int base, int limit) {
        char32_t value = 0;
        for (int i = 0; i < limit && p_ < end_; ++i, ++p_) {
            int digit = hexValue(*p_);
            if (digit < 0 || digit >= base) break;
            value = value * static_cast<char32_t>(base) + static_cast<char32_t>(digit);
        }
        return value;
    }

    std::string quoted() {
        char quote = *p_++;
        std::string text;
        for (;;) {
            const char* run = p_;
            while (p_ < end_ && *p_ != quote && *p_ != '\\') ++p_;
            text.append(run, p_);
            if (p_ == end_) fail("an unterminated string");
            if (*p_++ == quote) break;
            if (p_ == end_) fail("an unterminated string");
            char c = *p_;
            switch (c) {
                case 'a':
                    text += '\a';
                    ++p_;
                    break;
                case 'b':
                    text += '\b';
                    ++p_;
                    break;
                case 'f':
                    text += '\f';
                    ++p_;
                    break;
                case 'n':
                    text += '\n';
                    ++p_;
                    break;
                case 'r':
                    text += '\r';
                    ++p_;
                    break;
                case 't':
                    text += '\t';
                    ++p_;
                    break;
                case 'v':
                    text += '\v';
                    ++p_;
                    break;
                case 'U':
                case 'u': {
                    ++p_;
                    char32_t unit = escapedNumber(16, 4);
                    if (unit >= 0xDC00 && unit <= 0xDFFF) fail("an unpaired UTF-16 surrogate");
                    if (unit >= 0xD800 && unit <= 0xDBFF) {
                        if (end_ - p_ < 2 || p_[0] != '\\' || (p_[1] != 'U' && p_[1] != 'u'))
                            fail("an unpaired UTF-16 surrogate");
                        p_ += 2;
                        char32_t low = escapedNumber(16, 4);
                        if (low < 0xDC00 || low > 0xDFFF) fail("an unpaired UTF-16 surrogate");
                        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    }
                    unicode::appendUtf8(text, unit);
                    break;
                }
                default:
                    if (c >= '0' && c <= '7') {
                        unicode::appendUtf8(text, escapedNumber(8, 3));
                    } else {
                        // Any other escaped character stands for itself; it is
                        // a whole UTF-8 sequence, as the text is valid UTF-8.
                        const char* next = p_ + 1;
                        while (next < end_ && (static_cast<unsigned char>(*next) & 0xC0) == 0x80)
                            ++next;
                        text.append(p_, next);
                        p_ = next;
                    }
            }
        }
        return text;
    }

    PropertyListSink& sink_;
    const char* begin_;
    const char* p_;
    const char* end_;
    std::size_t depth_ = 0;
};

}  // namespace

void readText(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    TextReader(bytes, sink).read();
}

}  // namespace base::plist
