// The XML property-list format: read with libxml2, written by hand.

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <locale.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Corral/base/Objects.h"
#include "OutputBuffer.h"
#include "PropertyListCodec.h"
#include "Unicode.h"
#include "XmlScanner.h"

namespace base::plist {

namespace {

// Dates

constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

constexpr Civil civilFromDays(std::int64_t z) noexcept {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr std::int64_t referenceDay = daysFromCivil(2001, 1, 1);

bool isLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(std::int64_t year, unsigned month) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// "YYYY-MM-DDTHH:MM:SSZ", optionally with a fraction of a second before "Z".
std::optional<double> parseDate(std::string_view s) {
    auto digits = [&](std::size_t at, std::size_t count) -> std::optional<unsigned> {
        unsigned value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (i >= s.size() || s[i] < '0' || s[i] > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(s[i] - '0');
        }
        return value;
    };
    if (s.size() < 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' ||
        s[16] != ':' || s.back() != 'Z')
        return std::nullopt;
    auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    auto hour = digits(11, 2), minute = digits(14, 2), second = digits(17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59)
        return std::nullopt;
    double fraction = 0;
    std::string_view rest = s.substr(19, s.size() - 20);
    if (!rest.empty()) {
        if (rest[0] != '.' || rest.size() < 2) return std::nullopt;
        double scale = 0.1;
        for (char c : rest.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            fraction += (c - '0') * scale;
            scale /= 10;
        }
    }
    std::int64_t days = daysFromCivil(*year, *month, *day) - referenceDay;
    return static_cast<double>(days * 86400 + *hour * 3600 + *minute * 60 + *second) + fraction;
}

// Whole seconds, rounded down; nothing for years the format cannot hold.
std::optional<std::string> formatDate(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 4e11) return std::nullopt;
    auto whole = static_cast<std::int64_t>(std::floor(seconds));
    std::int64_t days = whole >= 0 ? whole / 86400 : -((-whole + 86399) / 86400);
    std::int64_t secondOfDay = whole - days * 86400;
    Civil c = civilFromDays(days + referenceDay);
    if (c.year < 1 || c.year > 9999) return std::nullopt;
    // "YYYY-MM-DDTHH:MM:SSZ", digit by digit: lists hold many dates.
    std::string text = "0000-00-00T00:00:00Z";
    auto digits = [&text](std::size_t at, std::size_t count, std::int64_t value) {
        for (std::size_t i = at + count; i-- > at; value /= 10)
            text[i] = static_cast<char>('0' + value % 10);
    };
    digits(0, 4, c.year);
    digits(5, 2, c.month);
    digits(8, 2, c.day);
    digits(11, 2, secondOfDay / 3600);
    digits(14, 2, secondOfDay / 60 % 60);
    digits(17, 2, secondOfDay % 60);
    return text;
}

// Base64

constexpr char base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> base64Values = [] {
    std::array<std::int8_t, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(base64Alphabet[i])] = static_cast<std::int8_t>(i);
    return values;
}();

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Decodes base64, ignoring white space; "=" padding is optional but nothing
// but padding and white space may follow it.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t accumulator = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        if (isXmlSpace(c)) continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        int value = base64Values[static_cast<unsigned char>(c)];
        if (value < 0 || padding) return std::nullopt;
        accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<std::uint8_t>(accumulator >> bits));
        }
    }
    // A lone sextet cannot carry a byte.
    if (bits >= 6) return std::nullopt;
    return bytes;
}

// Numbers

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isXmlSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isXmlSpace(s.back())) s.remove_suffix(1);
    return s;
}

// The magnitude and sign of an integer's text.
std::pair<std::uint64_t, bool> parseInteger(std::string_view text) {
    std::string_view s = trimmed(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (s.empty() || error == std::errc::invalid_argument || end != s.data() + s.size())
        invalid("\"" + std::string(text) + "\" is not an integer");
    if (error == std::errc::result_out_of_range ||
        (negative && magnitude > static_cast<std::uint64_t>(INT64_MAX) + 1))
        invalid("the integer " + std::string(text) + " is out of range");
    return {magnitude, negative};
}

double parseReal(std::string_view text) {
    std::string_view s = trimmed(text);
    // The words (nan, inf, infinity) begin with a letter after the sign;
    // numbers, the usual case, need no lower-case copy.
    std::size_t first = !s.empty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    auto letter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    if (first < s.size() && letter(s[first])) {
        std::string lower;
        for (char c : s) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "nan" || lower == "+nan" || lower == "-nan")
            return std::numeric_limits<double>::quiet_NaN();
        for (std::string_view word : {"inf", "infinity"}) {
            if (lower == word || lower.substr(first) == word) {
                double inf = std::numeric_limits<double>::infinity();
                return lower[0] == '-' ? -inf : inf;
            }
        }
    }
    std::string_view digits = s.starts_with('+') ? s.substr(1) : s;
    double value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error == std::errc::invalid_argument ||
        end != digits.data() + digits.size())
        invalid("\"" + std::string(text) + "\" is not a real number");
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: rounds to infinity or zero.
        // Read in the "C" locale: the process locale may want a decimal comma.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        value = strtod_l(std::string(digits).c_str(), nullptr, cLocale);
    }
    return value;
}

// Reading

enum class Element { plist, dict, array, key, string, integer, real, date, data, yes, no };

std::optional<Element> elementNamed(std::string_view name) {
    // The length leaves a few names; each is compared whole, at a size the
    // compiler knows, which takes a load or two rather than a call.
    auto is = [name]<std::size_t size>(const char(&word)[size]) {
        return std::memcmp(name.data(), word, size - 1) == 0;
    };
    switch (name.size()) {
        case 3:
            if (is("key")) return Element::key;
            break;
        case 4:
            if (is("dict")) return Element::dict;
            if (is("real")) return Element::real;
            if (is("date")) return Element::date;
            if (is("data")) return Element::data;
            if (is("true")) return Element::yes;
            break;
        case 5:
            if (is("array")) return Element::array;
            if (is("false")) return Element::no;
            if (is("plist")) return Element::plist;
            break;
        case 6:
            if (is("string")) return Element::string;
            break;
        case 7:
            if (is("integer")) return Element::integer;
            break;
        default:
            break;
    }
    return std::nullopt;
}

bool holdsText(Element e) {
    return e != Element::plist && e != Element::dict && e != Element::array;
}

// Takes every call and does nothing: where values already reported are
// read a second time.
class DiscardingSink final : public PropertyListSink {
public:
    void beginDictionary() override {}
    void key(std::string_view) override {}
    void beginArray() override {}
    void endContainer() override {}
    void string(std::string_view) override {}
    void boolean(bool) override {}
    void integer(std::int64_t) override {}
    void unsignedInteger(std::uint64_t) override {}
    void real(double) override {}
    void date(double) override {}
    void data(std::span<const std::uint8_t>) override {}
};

// The elements of a document as values: checks where each element may
// stand, gathers the text of scalars and reports values to the sink. Fed by
// either parser.
//
// A document may be read twice (the scanner gave up part way, the full
// parser starts again): the second reading passes over the values the
// first one reported and reports only the rest.
class XmlContent {
public:
    // `stable`: the bytes of the document, whose text may be reported where
    // it stands; `alreadyReported`: values to pass over.
    XmlContent(PropertyListSink& sink, std::span<const std::uint8_t> stable,
               std::size_t alreadyReported)
        : sink_(sink),
          stableBegin_(reinterpret_cast<const char*>(stable.data())),
          stableEnd_(stableBegin_ + stable.size()),
          skip_(alreadyReported) {}

    bool hasRoot() const { return hasRoot_; }
    std::size_t reported() const { return reported_; }
    // The failure under way came from the sink, not from the document.
    bool sinkFailed() const { return inSink_; }

    // Checks where the element may stand before anything of it is reported.
    void startElement(std::string_view name) {
        auto element = elementNamed(name);
        if (!element) invalid("unknown element <" + std::string(name) + ">");
        if (stack_.empty()) {
            if (hasRoot_) invalid("more than one root value");
        } else {
            Frame& parent = stack_.back();
            switch (parent.element) {
                case Element::plist:
                    if (*element == Element::plist) invalid("<plist> inside a value");
                    if (*element == Element::key) invalid("<key> outside a dictionary");
                    if (parent.children) invalid("more than one root value");
                    break;
                case Element::dict:
                    if ((*element == Element::key) != (parent.children % 2 == 0))
                        invalid(*element == Element::key ? "<key> where a value belongs"
                                                         : "a value without a <key>");
                    break;
                case Element::array:
                    if (*element == Element::key) invalid("<key> outside a dictionary");
                    break;
                default:
                    invalid("<" + std::string(name) + "> inside a text element");
            }
            ++parent.children;
        }
        if (*element == Element::plist) {
            hasRoot_ = true;
        } else if (*element == Element::key && stack_.empty()) {
            invalid("<key> outside a dictionary");
        } else if (*element == Element::dict || *element == Element::array) {
            enterLevel(containers_, false);
            if (*element == Element::dict)
                report([](PropertyListSink& s) { s.beginDictionary(); });
            else
                report([](PropertyListSink& s) { s.beginArray(); });
        }
        stack_.push_back({*element});
        text_.clear();
        textView_ = {};
    }

    void characters(std::string_view text) {
        if (!stack_.empty() && holdsText(stack_.back().element)) {
            // The first piece of text of the input itself is kept where it
            // stands; anything more is gathered.
            if (text_.empty() && textView_.empty() && text.data() >= stableBegin_ &&
                text.data() + text.size() <= stableEnd_) {
                textView_ = text;
                return;
            }
            if (!textView_.empty()) {
                text_.assign(textView_);
                textView_ = {};
            }
            text_.append(text);
        } else if (!std::all_of(text.begin(), text.end(), [](char c) { return isXmlSpace(c); })) {
            invalid("text outside a value");
        }
    }

    void whitespace(std::string_view text) {
        if (!stack_.empty() && holdsText(stack_.back().element)) characters(text);
    }

    void endElement() {
        Frame frame = stack_.back();
        stack_.pop_back();
        if (stack_.empty()) hasRoot_ = true;
        std::string_view text = textView_.empty() ? std::string_view(text_) : textView_;
        switch (frame.element) {
            case Element::plist:
                if (frame.children == 0) invalid("<plist> holds no value");
                return;
            case Element::dict:
                if (frame.children % 2) invalid("a <key> without a value");
                [[fallthrough]];
            case Element::array:
                --containers_;
                return report([](PropertyListSink& s) { s.endContainer(); });
            case Element::key:
                return report([text](PropertyListSink& s) { s.key(text); });
            case Element::string:
                return report([text](PropertyListSink& s) { s.string(text); });
            case Element::integer:
                return integer(text);
            case Element::real: {
                double value = parseReal(text);
                return report([value](PropertyListSink& s) { s.real(value); });
            }
            case Element::date: {
                auto seconds = parseDate(trimmed(text));
                if (!seconds) invalid("\"" + std::string(text) + "\" is not a date");
                return report([&](PropertyListSink& s) { s.date(*seconds); });
            }
            case Element::data: {
                auto bytes = decodeBase64(text);
                if (!bytes) invalid("<data> is not valid base64");
                return report([&](PropertyListSink& s) { s.data(*bytes); });
            }
            case Element::yes:
            case Element::no:
                if (!trimmed(text).empty()) invalid("<true/> or <false/> with content");
                return report(
                    [&](PropertyListSink& s) { s.boolean(frame.element == Element::yes); });
        }
    }

    // Hands one value to the sink, or passes over it when it was reported
    // by an earlier reading.
    template <class Call>
    void report(Call call) {
        static DiscardingSink discard;
        PropertyListSink& target = reported_++ < skip_ ? discard : sink_;
        inSink_ = true;
        call(target);
        inSink_ = false;
    }

private:
    struct Frame {
        Element element;
        std::size_t children = 0;
    };

    void integer(std::string_view text) {
        auto number = parseInteger(text);
        report([&](PropertyListSink& s) { reportInteger(s, number.first, number.second); });
    }

    PropertyListSink& sink_;
    const char* stableBegin_;
    const char* stableEnd_;
    std::size_t skip_;
    std::size_t reported_ = 0;
    bool inSink_ = false;
    std::vector<Frame> stack_;
    std::string text_;
    std::string_view textView_;  // the text, where it stands in the input
    std::size_t containers_ = 0;
    bool hasRoot_ = false;
};

// The full parser: libxml2's event parser, given the bytes in pieces.
// Entities other than the five predefined ones are refused outright, so
// nothing is ever loaded from elsewhere or expanded into more text.
class FullXmlParser {
public:
    explicit FullXmlParser(XmlContent& content) : content_(content) {
        static const bool initialised = (xmlInitParser(), true);
        (void)initialised;
        handler_.initialized = XML_SAX2_MAGIC;
        handler_.startElementNs = &FullXmlParser::start;
        handler_.endElementNs = &FullXmlParser::end;
        handler_.characters = &FullXmlParser::characters;
        handler_.ignorableWhitespace = &FullXmlParser::characters;
        handler_.cdataBlock = &FullXmlParser::characters;
        handler_.entityDecl = &FullXmlParser::entityDeclaration;
        handler_.getEntity = &FullXmlParser::entity;
        handler_.getParameterEntity = &FullXmlParser::entity;
        handler_.serror = &FullXmlParser::error;
        handler_.warning = &FullXmlParser::warning;
    }
    ~FullXmlParser() {
        if (!parser_) return;
        // A document type declaration leaves the parser a document of its
        // own to hold it.
        if (parser_->myDoc) xmlFreeDoc(parser_->myDoc);
        xmlFreeParserCtxt(parser_);
    }
    FullXmlParser(const FullXmlParser&) = delete;
    FullXmlParser& operator=(const FullXmlParser&) = delete;

    void read(std::span<const std::uint8_t> bytes) {
        // The parser keeps a buffer of its own: pieces of moderate size keep
        // it small and warm. The first piece is enough to tell the encoding.
        constexpr std::size_t chunk = std::size_t{1} << 18;
        std::size_t first = std::min(chunk, bytes.size());
        parser_ =
            xmlCreatePushParserCtxt(&handler_, this, reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<int>(first), nullptr);
        if (!parser_) throw std::bad_alloc();
        // UTF-16 without a byte order mark is told by its first "<".
        if (bytes.size() >= 2 && bytes[0] == 0 && bytes[1] == '<')
            xmlSwitchEncoding(parser_, XML_CHAR_ENCODING_UTF16BE);
        else if (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == 0)
            xmlSwitchEncoding(parser_, XML_CHAR_ENCODING_UTF16LE);
        // No network, no DTD loading, no entity substitution; texts and
        // nesting of any size (nesting is limited by this reader).
        xmlCtxtUseOptions(parser_, XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOWARNING);
        std::size_t offset = first;
        bool finished = false;
        while (!finished && !failure_) {
            std::size_t length = std::min(chunk, bytes.size() - offset);
            finished = offset + length == bytes.size();
            xmlParseChunk(parser_, reinterpret_cast<const char*>(bytes.data() + offset),
                          static_cast<int>(length), finished);
            offset += length;
        }
        if (failure_) std::rethrow_exception(failure_);
        if (!parser_->wellFormed) invalid("the document is not well-formed");
        if (!content_.hasRoot()) invalid("the document holds no value");
    }

private:
    // Handlers run inside the parser: nothing may unwind through it, so a
    // failure (the reader's or the sink's) is kept and the parser stopped.
    template <class Body>
    static void guarded(void* data, Body body) {
        auto* self = static_cast<FullXmlParser*>(data);
        if (self->failure_) return;
        try {
            body(self->content_);
        } catch (...) {
            self->failure_ = std::current_exception();
            xmlStopParser(self->parser_);
        }
    }

    static void start(void* data, const xmlChar* localName, const xmlChar* prefix, const xmlChar*,
                      int, const xmlChar**, int, int, const xmlChar**) {
        guarded(data, [=](XmlContent& content) {
            // Names are taken whole, prefix and all, as they stand.
            const char* name = reinterpret_cast<const char*>(localName);
            if (!prefix) return content.startElement(name);
            std::string qualified = reinterpret_cast<const char*>(prefix);
            content.startElement(qualified + ":" + name);
        });
    }
    static void end(void* data, const xmlChar*, const xmlChar*, const xmlChar*) {
        guarded(data, [](XmlContent& content) { content.endElement(); });
    }
    static void characters(void* data, const xmlChar* text, int length) {
        guarded(data, [=](XmlContent& content) {
            content.characters(std::string_view(reinterpret_cast<const char*>(text),
                                                static_cast<std::size_t>(length)));
        });
    }
    static void entityDeclaration(void* data, const xmlChar* name, int, const xmlChar*,
                                  const xmlChar*, xmlChar*) {
        guarded(data, [name](XmlContent&) {
            invalid("the document declares the entity \"" +
                    std::string(reinterpret_cast<const char*>(name)) + "\"");
        });
    }
    // Asked for every entity but the predefined ones: none is known.
    static xmlEntityPtr entity(void* data, const xmlChar* name) {
        guarded(data, [name](XmlContent&) {
            invalid("the document refers to the undefined entity \"" +
                    std::string(reinterpret_cast<const char*>(name)) + "\"");
        });
        return nullptr;
    }
    // Every error the parser reports makes the document invalid, except the
    // namespace checks, which a reader of unprefixed names does not make.
    static void error(void* data, xmlErrorPtr error) {
        if (!error || error->domain == XML_FROM_NAMESPACE || error->level < XML_ERR_ERROR) return;
        guarded(data, [error](XmlContent&) {
            std::string message = error->message ? error->message : "not well-formed";
            while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
                message.pop_back();
            invalid(message + " at line " + std::to_string(error->line));
        });
    }
    static void warning(void*, const char*, ...) {}

    XmlContent& content_;
    xmlSAXHandler handler_{};
    xmlParserCtxtPtr parser_ = nullptr;
    std::exception_ptr failure_;
};

bool scanXmlInto(std::span<const std::uint8_t> bytes, XmlContent& content) {
    return XmlScanner<XmlContent>(bytes, content).scan() && content.hasRoot();
}

// Writing

class XmlWriter final : public BufferedWriter {
public:
    XmlWriter(PropertyListOutput* output, std::size_t sizeHint) : BufferedWriter(output, sizeHint) {
        put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n");
    }

    std::vector<std::uint8_t> finish() override {
        put("</plist>\n");
        return complete();
    }

    void beginDictionary() override { open("dict"); }
    void beginArray() override { open("array"); }

    void endContainer() override {
        std::string_view tag = open_.back();
        open_.pop_back();
        --depth_;
        indent();
        put(pending_ ? "<" : "</");  // nothing was put in: an empty element
        put(tag);
        put(pending_ ? "/>\n" : ">\n");
        pending_ = false;
    }

    void key(std::string_view text) override { escapedElement("key", text); }
    void string(std::string_view text) override { escapedElement("string", text); }

    void boolean(bool value) override {
        startValue();
        put(value ? "<true/>\n" : "<false/>\n");
    }

    void integer(std::int64_t value) override { number("integer", value); }
    void unsignedInteger(std::uint64_t value) override { number("integer", value); }

    void real(double value) override {
        // NaN has no shortest form; everything else is written as the
        // shortest text that reads back as the same double.
        if (std::isnan(value)) return element("real", "nan");
        number("real", value);
    }

    void date(double seconds) override {
        auto text = formatDate(seconds);
        if (!text) unwritable("a date lies outside the years 1 to 9999");
        element("date", *text);
    }

    void data(std::span<const std::uint8_t> bytes) override {
        constexpr std::size_t lineLength = 76;  // characters, a multiple of 4
        startValue();
        put("<data>\n");
        std::size_t column = 0;
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            if (column == 0) indent();
            std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
            std::size_t available = std::min<std::size_t>(3, bytes.size() - i);
            if (available > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
            if (available > 2) group |= bytes[i + 2];
            char quad[4] = {base64Alphabet[group >> 18], base64Alphabet[(group >> 12) & 63],
                            available > 1 ? base64Alphabet[(group >> 6) & 63] : '=',
                            available > 2 ? base64Alphabet[group & 63] : '='};
            put(std::string_view(quad, 4));
            column += 4;
            if (column == lineLength) {
                put('\n');
                column = 0;
            }
        }
        if (column) put('\n');
        indent();
        put("</data>\n");
    }

private:
    void put(std::string_view text) { out_.put(text); }
    void put(char c) { out_.put(c); }
    void indent() { out_.tabs(depth_); }

    // A container's opening tag waits for its first child, so that an empty
    // one is written as one empty element.
    void writePendingTag() {
        if (!pending_) return;
        pending_ = false;
        out_.tabs(depth_ - 1);
        put('<');
        put(open_.back());
        put(">\n");
    }

    void startValue() {
        writePendingTag();
        indent();
    }

    void open(std::string_view tag) {
        writePendingTag();
        enterLevel(depth_, true);
        open_.push_back(tag);
        pending_ = true;
    }

    // Tags are literals, so that each copy of one has a size the compiler
    // knows and takes a move or two rather than a call.
    template <std::size_t size>
    void element(const char (&tagName)[size], std::string_view content) {
        constexpr std::size_t tagSize = size - 1;
        std::string_view tag(tagName, tagSize);
        writePendingTag();
        // Indentation, <tag>content</tag> and the line end, in one piece
        // when the buffer has room for it.
        std::size_t length = depth_ + 2 * tagSize + content.size() + 6;
        if (char* at = out_.claim(length)) {
            // `length` is at least eight more than the depth.
            at = putTabs(at, depth_);
            *at++ = '<';
            std::memcpy(at, tagName, tagSize);
            at += tagSize;
            *at++ = '>';
            if (!content.empty()) std::memcpy(at, content.data(), content.size());
            at += content.size();
            *at++ = '<';
            *at++ = '/';
            std::memcpy(at, tagName, tagSize);
            at += tagSize;
            *at++ = '>';
            *at = '\n';
            return;
        }
        indent();
        put('<');
        put(tag);
        put('>');
        put(content);
        put("</");
        put(tag);
        put(">\n");
    }

    template <std::size_t size, class Value>
    void number(const char (&tag)[size], Value value) {
        char buffer[40];
        auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        element(tag, std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
    }

    // Text with "&", "<" and ">" escaped, and carriage returns as character
    // references so that reading does not turn them into line feeds.
    template <std::size_t size>
    void escapedElement(const char (&tagName)[size], std::string_view text) {
        std::string_view tag(tagName, size - 1);
        // Most texts are plain ASCII that needs no escaping: one look at
        // each byte settles that, and they go out as they are.
        if (isPlain(text)) return element(tagName, text);
        checkWritable(text);
        startValue();
        put('<');
        put(tag);
        put('>');
        std::size_t run = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            auto c = static_cast<unsigned char>(text[i]);
            if (!needsAttention_[c]) continue;
            const char* replacement = nullptr;
            switch (c) {
                case '&':
                    replacement = "&amp;";
                    break;
                case '<':
                    replacement = "&lt;";
                    break;
                case '>':
                    replacement = "&gt;";
                    break;
                case '\r':
                    replacement = "&#13;";
                    break;
                case 0xEF:
                    // U+FFFE and U+FFFF are not characters XML can hold.
                    if (i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                        static_cast<unsigned char>(text[i + 2]) >= 0xBE)
                        unwritable("a string holds U+FFFE or U+FFFF, which XML cannot hold");
                    continue;
                default:
                    unwritable("a string holds a control character, which XML cannot hold");
            }
            put(text.substr(run, i - run));
            put(replacement);
            run = i + 1;
        }
        put(text.substr(run));
        put("</");
        put(tag);
        put(">\n");
    }

    // Plain ASCII with nothing to escape or check: no byte of 0x80 or
    // above, no control character but tab and line feed, no "&", "<", ">".
    static bool isPlain(std::string_view text) {
        const char* p = text.data();
        std::size_t n = text.size();
#ifdef __SSE2__
        // Sixteen bytes at a time; the last sixteen overlap what went before.
        auto plainVector = [](__m128i v) {
            // Signed, bytes of 0x80 and above are below 0x20 too.
            __m128i low = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
            low = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                   low);
            __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('<')),
                                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('>'))));
            return _mm_movemask_epi8(_mm_or_si128(low, marks)) == 0;
        };
        auto plain16 = [&](const char* at) {
            return plainVector(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
        };
        // A key or a short string: its first and last eight bytes, or four,
        // which overlap, make one look, filled up with a plain letter.
        if (n >= 8 && n < 16) {
            return plainVector(
                _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + n - 8))));
        }
        if (n >= 4 && n < 8) {
            std::int32_t first, last;
            std::memcpy(&first, p, 4);
            std::memcpy(&last, p + n - 4, 4);
            constexpr std::int32_t letters = 0x61616161;
            return plainVector(_mm_set_epi32(letters, letters, last, first));
        }
        if (n >= 16) {
            for (; n > 16; p += 16, n -= 16)
                if (!plain16(p)) return false;
            return plain16(text.data() + text.size() - 16);
        }
#endif
        for (; n; ++p, --n) {
            auto byte = static_cast<unsigned char>(*p);
            if (byte >= 0x80 || needsAttention_[byte]) return false;
        }
        return true;
    }

    static constexpr std::array<bool, 256> needsAttention_ = [] {
        std::array<bool, 256> table{};
        for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = c != '\t' && c != '\n';
        table['&'] = table['<'] = table['>'] = true;
        table[0xEF] = true;
        return table;
    }();

    std::vector<std::string_view> open_;  // tags of the open containers
    bool pending_ = false;                // the innermost opening tag is not written yet
    std::size_t depth_ = 0;
};

}  // namespace

void readXmlWithFullParser(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    XmlContent content(sink, {}, 0);
    FullXmlParser(content).read(bytes);
}

bool readXmlWithScanner(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    XmlContent content(sink, bytes, 0);
    try {
        return scanXmlInto(bytes, content);
    } catch (const PropertyListError&) {
        if (content.sinkFailed()) throw;
        return false;
    }
}

// The scanner reads the documents property lists are made of; whatever it
// does not settle itself, the full parser reads again from the start,
// passing over the values already reported, so that every document is
// accepted or refused, and every failure explained, as the full parser does.
void readXml(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    std::size_t reported = 0;
    {
        XmlContent content(sink, bytes, 0);
        try {
            if (scanXmlInto(bytes, content)) return;
        } catch (const PropertyListError&) {
            if (content.sinkFailed()) throw;
        }
        reported = content.reported();
    }
    XmlContent content(sink, {}, reported);
    FullXmlParser(content).read(bytes);
}

std::unique_ptr<PropertyListWriter> makeXmlWriter(PropertyListOutput* output,
                                                  std::size_t sizeHint) {
    return std::make_unique<XmlWriter>(output, sizeHint);
}

}  // namespace base::plist
