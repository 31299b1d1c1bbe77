#pragma once
// A single-pass scanner for the XML that property lists are written in:
// UTF-8 (with or without a byte order mark), an optional XML declaration, a
// document type declaration without an internal subset, comments,
// processing instructions, CDATA sections, the five predefined entities and
// character references, with line ends normalised as XML requires.
//
// It checks everything a conforming parser checks within that subset, and
// gives up (scan() returns false) at anything outside it or at any error,
// without saying why: the caller then lets the full parser read the
// document, which accepts or refuses it and says why. So the scanner must
// never accept a document the full parser refuses, and up to the point where
// it gives up it must report exactly what the full parser reports.
//
// Events go to `Events`, which provides:
//   startElement(std::string_view name)
//   characters(std::string_view text)   text inside the root element; the
//                                        view lives as long as the input
//                                        or, for decoded text, until the
//                                        next event
//   whitespace(std::string_view text)   the same, for text known to be
//                                        only spaces, tabs and line feeds
//   endElement()
// Exceptions the events throw pass through.

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace base::plist {

template <class Events>
class XmlScanner {
public:
    XmlScanner(std::span<const std::uint8_t> bytes, Events& events)
        : p_(reinterpret_cast<const char*>(bytes.data())),
          end_(p_ + bytes.size()),
          events_(events) {}

    bool scan() {
        if (rest() >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0) p_ += 3;
        if (startsWith("<?xml") && rest() > 5 && isSpace(p_[5]) && !declaration()) return false;
        if (!misc()) return false;
        if (startsWith("<!DOCTYPE")) {
            if (!doctype() || !misc()) return false;
        }
        if (p_ == end_ || *p_ != '<' || !element()) return false;
        return misc() && p_ == end_;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    // The characters of the names the fast path takes, by class: one look
    // in a table rather than several comparisons, for the many short names
    // of a list.
    enum : std::uint8_t { nameStartClass = 1, nameCharClass = 2 };
    static constexpr std::array<std::uint8_t, 256> nameClasses = [] {
        std::array<std::uint8_t, 256> classes{};
        for (int c = 0; c < 256; ++c) {
            bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
            bool part = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
            classes[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(
                (start ? nameStartClass : 0) | (part ? nameCharClass : 0));
        }
        return classes;
    }();
    static bool isNameStart(char c) {
        return nameClasses[static_cast<unsigned char>(c)] & nameStartClass;
    }
    static bool isNameChar(char c) {
        return nameClasses[static_cast<unsigned char>(c)] & nameCharClass;
    }

    // Names are short: two fixed-size looks that overlap beat a call, or a
    // loop, to compare them.
    static bool same(std::string_view a, std::string_view b) {
        std::size_t n = a.size();
        if (n != b.size()) return false;
        if (n >= 4 && n <= 8) return sameAt<4>(a, b, 0) && sameAt<4>(a, b, n - 4);
        if (n >= 2 && n <= 3) return sameAt<2>(a, b, 0) && sameAt<2>(a, b, n - 2);
        for (std::size_t i = 0; i < n; ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }
    template <std::size_t width>
    static bool sameAt(std::string_view a, std::string_view b, std::size_t at) {
        return std::memcmp(a.data() + at, b.data() + at, width) == 0;
    }

    std::size_t rest() const { return static_cast<std::size_t>(end_ - p_); }
    bool startsWith(std::string_view text) const {
        return rest() >= text.size() && std::memcmp(p_, text.data(), text.size()) == 0;
    }
    bool take(std::string_view text) {
        if (!startsWith(text)) return false;
        p_ += text.size();
        return true;
    }
    bool skipSpace() {
        const char* start = p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        return p_ != start;
    }

    // A name of ASCII letters, digits, "_", "-" and ".": anything else a
    // name may hold (a colon, other letters) is left to the full parser.
    bool name(std::string_view& out) {
        const char* start = p_;
        if (p_ == end_ || !isNameStart(*p_)) return false;
        if (!skipShortName()) {
            while (++p_ < end_ && isNameChar(*p_)) {
            }
        }
        if (p_ < end_ && (*p_ == ':' || static_cast<unsigned char>(*p_) >= 0x80)) return false;
        out = std::string_view(start, static_cast<std::size_t>(p_ - start));
        return true;
    }

    // With p_ on the first character of a name: steps to its end and
    // returns true when the name and the character after it lie in the next
    // sixteen bytes, as the names of a list do, looking at them all at once.
    bool skipShortName() {
#ifdef __SSE2__
        if (rest() < 16) return false;
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_));
        // Below a limit after a shift that puts the range's start at the
        // lowest signed value: in the range.
        auto inRange = [](__m128i x, char low, int count) {
            __m128i shifted = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(low + 128)));
            return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + count)));
        };
        // A letter of either case becomes lower case with bit 5 set, and
        // nothing else becomes a letter.
        __m128i letter = inRange(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 26);
        __m128i part =
            _mm_or_si128(_mm_or_si128(letter, inRange(v, '0', 10)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('_')),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('.')))));
        auto other = ~static_cast<unsigned>(_mm_movemask_epi8(part)) & 0xFFFFu;
        if (!other) return false;
        p_ += __builtin_ctz(other);
        return true;
#else
        return false;
#endif
    }

    // One character that XML allows, of valid UTF-8, at p_: steps over it.
    // Tab, line feed and carriage return are allowed here; callers that
    // treat them specially look first.
    bool character() {
        auto c = static_cast<unsigned char>(*p_);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            ++p_;
            return true;
        }
        auto at = [&](std::size_t i) { return static_cast<unsigned char>(p_[i]); };
        std::size_t length;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
        } else {
            return false;
        }
        if (rest() < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if ((at(i) & 0xC0) != 0x80) return false;
        }
        // Overlong forms, surrogates, values above U+10FFFF, and U+FFFE and
        // U+FFFF, which are not XML characters.
        if ((c == 0xE0 && at(1) < 0xA0) || (c == 0xED && at(1) >= 0xA0) ||
            (c == 0xF0 && at(1) < 0x90) || (c == 0xF4 && at(1) >= 0x90) ||
            (c == 0xEF && at(1) == 0xBF && at(2) >= 0xBE))
            return false;
        p_ += length;
        return true;
    }

    // Characters up to `terminator`, which is stepped over.
    bool charactersUpTo(std::string_view terminator) {
        while (p_ < end_) {
            if (*p_ == terminator[0] && take(terminator)) return true;
            if (!character()) return false;
        }
        return false;
    }

    // A quoted value of characters, none of them in `refused`.
    bool quoted(std::string_view& out, std::string_view refused) {
        if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
        char quote = *p_++;
        const char* start = p_;
        while (p_ < end_ && *p_ != quote) {
            if (refused.find(*p_) != std::string_view::npos || !character()) return false;
        }
        if (p_ == end_) return false;
        out = std::string_view(start, static_cast<std::size_t>(p_ - start));
        ++p_;
        return true;
    }

    bool equals() {
        skipSpace();
        if (p_ == end_ || *p_ != '=') return false;
        ++p_;
        skipSpace();
        return true;
    }

    // <?xml version="1.0" encoding="UTF-8" standalone="yes"?>, the last two
    // optional; other versions and encodings are the full parser's.
    bool declaration() {
        p_ += 5;
        std::string_view value;
        skipSpace();
        if (!take("version") || !equals() || !quoted(value, "<&") || value != "1.0") return false;
        bool spaced = skipSpace();
        if (spaced && take("encoding")) {
            if (!equals() || !quoted(value, "<&") || value.size() != 5) return false;
            for (std::size_t i = 0; i < 5; ++i) {
                char c = value[i];
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                if (c != "UTF-8"[i]) return false;
            }
            spaced = skipSpace();
        }
        if (spaced && take("standalone")) {
            if (!equals() || !quoted(value, "<&") || (value != "yes" && value != "no"))
                return false;
            skipSpace();
        }
        return take("?>");
    }

    // <!DOCTYPE name>, with SYSTEM "uri" or PUBLIC "id" "uri" after the name.
    bool doctype() {
        p_ += 9;
        std::string_view text;
        if (!skipSpace() || !name(text)) return false;
        bool spaced = skipSpace();
        if (spaced && take("SYSTEM")) {
            if (!skipSpace() || !quoted(text, "")) return false;
        } else if (spaced && take("PUBLIC")) {
            if (!skipSpace() || !quoted(text, "")) return false;
            for (char c : text) {
                if (!isPublicIdCharacter(c)) return false;
            }
            if (!skipSpace() || !quoted(text, "")) return false;
        }
        skipSpace();
        return take(">");
    }

    static bool isPublicIdCharacter(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view(" \r\n-'()+,./:=?;!*#@$_%").find(c) != std::string_view::npos;
    }

    // <!-- text -->: "--" may not appear in the text, nor may it end in "-".
    bool comment() {
        p_ += 4;
        while (p_ < end_) {
            if (*p_ == '-' && rest() >= 2 && p_[1] == '-') {
                if (rest() < 3 || p_[2] != '>') return false;
                p_ += 3;
                return true;
            }
            if (!character()) return false;
        }
        return false;
    }

    // <?target text?>; targets that begin with "xml" in any case are the
    // full parser's.
    bool instruction() {
        p_ += 2;
        std::string_view target;
        if (!name(target)) return false;
        if (target.size() >= 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
            (target[2] | 0x20) == 'l')
            return false;
        if (take("?>")) return true;
        if (!skipSpace()) return false;
        return charactersUpTo("?>");
    }

    // White space, comments and processing instructions, outside the root.
    bool misc() {
        for (;;) {
            skipSpace();
            if (startsWith("<!--")) {
                if (!comment()) return false;
            } else if (startsWith("<?")) {
                if (!instruction()) return false;
            } else {
                return true;
            }
        }
    }

    // The root element and everything in it, at p_ ("<").
    bool element() {
        if (!startTag()) return false;
        while (!open_.empty()) {
            if (!content()) return false;
        }
        return true;
    }

    // <name attribute="value" ...> or <name .../>.
    bool startTag() {
        ++p_;
        std::string_view tag;
        if (!name(tag)) return false;
        attributes_.clear();
        for (;;) {
            bool spaced = skipSpace();
            if (p_ == end_) return false;
            if (*p_ == '>') {
                ++p_;
                events_.startElement(tag);
                open_.push_back(tag);
                return true;
            }
            if (*p_ == '/') {
                if (rest() < 2 || p_[1] != '>') return false;
                p_ += 2;
                events_.startElement(tag);
                events_.endElement();
                return true;
            }
            std::string_view attribute, value;
            // "xmlns" declares a namespace: the full parser's.
            if (!spaced || !name(attribute) || attribute == "xmlns" || !equals() ||
                !quoted(value, "<&"))
                return false;
            for (std::string_view seen : attributes_) {
                if (same(seen, attribute)) return false;
            }
            attributes_.push_back(attribute);
        }
    }

    // </name>, closing the innermost open element.
    bool endTag() {
        p_ += 2;
        std::string_view tag;
        if (!name(tag) || !same(tag, open_.back())) return false;
        skipSpace();
        if (!take(">")) return false;
        open_.pop_back();
        events_.endElement();
        return true;
    }

    // What follows in the innermost open element, up to and including the
    // next piece of markup.
    bool content() {
        const char* start = p_;
        // Indentation between elements, reported as such.
        skipIndentation();
        if (p_ < end_ && *p_ == '<' && p_ != start)
            events_.whitespace(std::string_view(start, static_cast<std::size_t>(p_ - start)));
        if (p_ < end_ && *p_ == '<') return markup();
        p_ = start;
        return text();
    }

    // Steps over tabs, line feeds and spaces: sixteen bytes at a look where
    // the file has them, as a line break and its tabs seldom run longer.
    void skipIndentation() {
#ifdef __SSE2__
        while (rest() >= 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_));
            __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8(' ')));
            auto other = ~static_cast<unsigned>(_mm_movemask_epi8(blank)) & 0xFFFFu;
            if (other) {
                p_ += __builtin_ctz(other);
                return;
            }
            p_ += 16;
        }
#endif
        while (p_ < end_ && (*p_ == '\t' || *p_ == '\n' || *p_ == ' ')) ++p_;
    }

    bool markup() {
        if (rest() < 2) return false;
        switch (p_[1]) {
            case '/':
                return endTag();
            case '?':
                return instruction();
            case '!':
                if (startsWith("<!--")) return comment();
                if (startsWith("<![CDATA[")) return cdata();
                return false;
            default:
                return startTag();
        }
    }

    // Character data up to the next markup, with references decoded and
    // line ends normalised; plain runs are reported as they stand.
    bool text() {
        const char* run = p_;
        auto flush = [&] {
            if (p_ != run)
                events_.characters(std::string_view(run, static_cast<std::size_t>(p_ - run)));
        };
        while (p_ < end_) {
            skipPlain();
            if (p_ == end_) break;
            auto c = static_cast<unsigned char>(*p_);
            if (!special_[c]) {
                ++p_;
                continue;
            }
            switch (c) {
                case '<':
                    flush();
                    return true;
                case '&':
                    flush();
                    if (!reference()) return false;
                    run = p_;
                    continue;
                case '\r':
                    flush();
                    lineEnd();
                    run = p_;
                    continue;
                case ']':
                    if (rest() >= 3 && p_[1] == ']' && p_[2] == '>') return false;
                    ++p_;
                    continue;
                default:
                    if (!character()) return false;
            }
        }
        return false;  // the document ends inside an element
    }

    // Steps over bytes that need no second look, sixteen at a time where
    // the processor allows.
    void skipPlain() {
#ifdef __SSE2__
        while (rest() >= 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_));
            // Signed, bytes of 0x80 and above are below 0x20 too.
            __m128i low = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
            low = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                   low);
            __m128i marks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('&'))),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(']')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, marks)));
            if (mask) {
                p_ += __builtin_ctz(mask);
                return;
            }
            p_ += 16;
        }
#endif
        while (p_ < end_ && !special_[static_cast<unsigned char>(*p_)]) ++p_;
    }

    // A carriage return, alone or before a line feed, reads as one line feed.
    void lineEnd() {
        ++p_;
        if (p_ < end_ && *p_ == '\n') ++p_;
        events_.characters("\n");
    }

    bool reference() {
        ++p_;
        static constexpr std::pair<std::string_view, std::string_view> predefined[] = {
            {"amp;", "&"}, {"lt;", "<"}, {"gt;", ">"}, {"quot;", "\""}, {"apos;", "'"}};
        for (const auto& [entity, replacement] : predefined) {
            if (take(entity)) {
                events_.characters(replacement);
                return true;
            }
        }
        if (!take("#")) return false;
        bool hex = take("x");
        char32_t value = 0;
        const char* digits = p_;
        for (; p_ < end_ && *p_ != ';'; ++p_) {
            int digit = hexDigit(*p_);
            if (digit < 0 || digit >= (hex ? 16 : 10)) return false;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            if (value > 0x10FFFF) return false;
        }
        if (p_ == digits || p_ == end_) return false;
        ++p_;
        if ((value < 0x20 && value != '\t' && value != '\n' && value != '\r') ||
            (value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF)
            return false;
        char encoded[4];
        events_.characters(std::string_view(encoded, encode(value, encoded)));
        return true;
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static std::size_t encode(char32_t cp, char* out) {
        if (cp < 0x80) {
            out[0] = static_cast<char>(cp);
            return 1;
        }
        if (cp < 0x800) {
            out[0] = static_cast<char>(0xC0 | (cp >> 6));
            out[1] = static_cast<char>(0x80 | (cp & 0x3F));
            return 2;
        }
        if (cp < 0x10000) {
            out[0] = static_cast<char>(0xE0 | (cp >> 12));
            out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[2] = static_cast<char>(0x80 | (cp & 0x3F));
            return 3;
        }
        out[0] = static_cast<char>(0xF0 | (cp >> 18));
        out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (cp & 0x3F));
        return 4;
    }

    // <![CDATA[ text ]]>: the text as it stands. The full parser passes
    // carriage returns in a CDATA section on unchanged, unlike anywhere
    // else; such sections are left to it, so that they read as they always
    // have.
    bool cdata() {
        p_ += 9;
        const char* start = p_;
        while (p_ < end_) {
            if (*p_ == ']' && startsWith("]]>")) {
                if (p_ != start)
                    events_.characters(
                        std::string_view(start, static_cast<std::size_t>(p_ - start)));
                p_ += 3;
                return true;
            }
            if (*p_ == '\r' || !character()) return false;
        }
        return false;
    }

    // Bytes of character data that need a second look: markup, references,
    // carriage returns, "]" (of "]]>"), control characters and non-ASCII.
    static constexpr auto special_ = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 256; ++c) {
            table[static_cast<std::size_t>(c)] = c >= 0x80 ||
                                                 (c < 0x20 && c != '\t' && c != '\n') || c == '<' ||
                                                 c == '&' || c == ']' || c == '\r';
        }
        return table;
    }();

    const char* p_;
    const char* end_;
    Events& events_;
    std::vector<std::string_view> open_;        // names of the open elements
    std::vector<std::string_view> attributes_;  // of the start tag being read
};

}  // namespace base::plist
