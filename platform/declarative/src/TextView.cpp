#include "Corral/declarative/TextView.h"

#include <algorithm>

namespace declarative {

namespace {
constexpr double characterWidth = 8;
constexpr double lineHeight = 16;
}  // namespace

base::Ref<TextView> TextView::make(std::string text, ui::Rect frame) {
    return std::make_shared<TextView>(std::move(text), frame);
}

TextView::TextView(std::string text, ui::Rect frame) : ui::View(frame), text_(std::move(text)) {}

ui::Size TextView::sizeOfText(const std::string& text) {
    if (text.empty()) return {};
    std::size_t lines = 1, longest = 0, current = 0;
    for (unsigned char c : text) {
        if (c == '\n') {
            ++lines;
            current = 0;
        } else if ((c & 0xC0) != 0x80) {  // not a UTF-8 continuation byte
            longest = std::max(longest, ++current);
        }
    }
    return {characterWidth * static_cast<double>(longest), lineHeight * static_cast<double>(lines)};
}

std::string TextView::debugAttributes() const {
    std::string quoted = "text=\"";
    for (char c : text_) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace declarative
