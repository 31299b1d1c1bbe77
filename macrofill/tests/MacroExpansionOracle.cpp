#include "MacroExpansionOracle.h"

#include "Corral/base/Exception.h"
#include "Corral/base/String.h"
#include "MacroExpander.h"
#include "MacroExpansionError.h"

namespace oracle {

namespace {

std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size())
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        // A lead byte, then six bits a byte.
        int continuation = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
        char lead = static_cast<char>(continuation ? ((0xFF00 >> (continuation + 1)) & 0xFF) : 0);
        out += static_cast<char>(lead | static_cast<char>(cp >> (6 * continuation)));
        for (int shift = 6 * (continuation - 1); shift >= 0; shift -= 6)
            out += static_cast<char>(0x80 | ((cp >> shift) & 0x3F));
    }
    return out;
}

struct Expansion {
    const base::Dictionary& table;
    Limits limits;
    Result result;
    std::size_t nesting = 0;

    // Expands S into `out`; false when the whole expansion has failed.
    bool expand(const std::u16string& S, std::u16string& out) {
        // 1. No "$" at all: S itself.
        if (S.find(u'$') == std::u16string::npos) {
            out = S;
            return true;
        }
        if (++nesting > limits.nesting) return giveUp();
        // 2. A mutable copy and a scan position.
        std::u16string M = S;
        std::size_t P = 0;
        // 3.
        while (P < M.size()) {
            if (limits.steps-- == 0) return giveUp();
            if (M[P] != u'$') {  // 3.1
                P += 1;
                continue;
            }
            if (P == M.size() - 1) break;  // 3.2
            if (M[P + 1] != u'(') {        // 3.3
                P += 2;
                continue;
            }
            // 3.4: find the closing parenthesis.
            std::size_t close = P + 2;
            int depth = 0;
            bool closed = false;
            for (; close < M.size(); ++close) {
                if (M[close] == u')') {
                    if (depth == 0) {
                        closed = true;
                        break;
                    }
                    depth -= 1;
                } else if (M[close] == u'(') {
                    depth += 1;
                }
            }
            if (!closed) {
                out = S;
                --nesting;
                return true;
            }
            // 3.5: the name.
            std::u16string name;
            if (!expand(M.substr(P + 2, close - (P + 2)), name)) return false;
            // 3.6: the value.
            std::u16string value;
            std::string key = toUtf8(name);
            base::ObjectRef entry = table.objectForKey(key);
            if (entry) {
                auto string = base::cast<base::String>(entry);
                if (!string) {
                    result.status = Status::notAString;
                    result.name = key;
                    result.className = entry->className();
                    return false;
                }
                value = toUtf16(string->text());
            }
            // 3.7: replace; P stays.
            M.replace(P, close - P + 1, value);
            if (M.size() > limits.length) return giveUp();
        }
        out = M;
        --nesting;
        return true;
    }

    bool giveUp() {
        result.status = Status::gaveUp;
        return false;
    }
};

}  // namespace

Result expandString(const std::string& text, const base::Dictionary& table, Limits limits) {
    Expansion expansion{table, limits, {}};
    std::u16string out;
    if (expansion.expand(toUtf16(text), out)) expansion.result.text = toUtf8(out);
    return expansion.result;
}

std::string disagreement(const std::string& text, const base::Dictionary& table, Limits limits,
                         std::optional<std::size_t> allowance) {
    Result expected = expandString(text, table, limits);
    std::string actual;
    try {
        macrofill::MacroExpander expander(
            table, allowance.value_or(macrofill::MacroExpander::expansionAllowance));
        actual = "expanded: " + expander.expandString(base::String::make(text))->text();
    } catch (const base::InvalidArgumentException& error) {
        actual = "not a string: " + error.reason();
    } catch (const macrofill::MacroExpansionError& error) {
        actual = "expansion error: " + error.reason();
    }
    std::string wanted;
    switch (expected.status) {
        case Status::expanded:
            wanted = "expanded: " + expected.text;
            break;
        case Status::notAString:
            wanted = "not a string: The value for the macro " + expected.name +
                     " is not an Utterance but is a " + expected.className;
            break;
        case Status::gaveUp:
            if (actual.rfind("expansion error: ", 0) == 0) return "";
            if (allowance) return "";
            wanted = "expansion error";
            break;
    }
    if (actual == wanted) return "";
    return "for \"" + text + "\": expected " + wanted + ", got " + actual;
}

}  // namespace oracle
