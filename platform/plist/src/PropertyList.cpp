#include "Corral/plist/PropertyList.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "PropertyListCodec.h"
#include "Unicode.h"

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

void checkWritable(std::string_view text) {
    if (!unicode::isValidUtf8(text)) unwritable("a string is not valid UTF-8");
}

namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A document that starts with "<" is XML unless what follows up to the
// closing ">" is hex digits and white space: the old format's data.
bool looksLikeXml(std::span<const std::uint8_t> bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) bytes = bytes.subspan(3);
    // A UTF-16 byte order mark, or a "<" of UTF-16 text, is XML.
    if (startsWith(bytes, "\xFE\xFF") || startsWith(bytes, "\xFF\xFE")) return true;
    if (bytes.size() >= 2 &&
        ((bytes[0] == 0 && bytes[1] == '<') || (bytes[0] == '<' && bytes[1] == 0)))
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

PropertyListSink::~PropertyListSink() = default;
ForwardingSink::~ForwardingSink() = default;

PropertyListFormat propertyListFormatOf(std::span<const std::uint8_t> bytes) noexcept {
    if (plist::startsWith(bytes, "bplist")) return PropertyListFormat::binary;
    if (plist::looksLikeXml(bytes)) return PropertyListFormat::xml;
    return PropertyListFormat::openStep;
}

PropertyListFormat readPropertyList(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    PropertyListFormat format = propertyListFormatOf(bytes);
    switch (format) {
        case PropertyListFormat::binary:
            plist::readBinary(bytes, sink);
            break;
        case PropertyListFormat::xml:
            plist::readXml(bytes, sink);
            break;
        case PropertyListFormat::openStep:
            plist::readText(bytes, sink);
            break;
    }
    return format;
}

PropertyListOutput::~PropertyListOutput() = default;

namespace plist {
namespace {

std::unique_ptr<PropertyListWriter> makeWriter(PropertyListFormat format,
                                               PropertyListOutput* output, std::size_t sizeHint) {
    switch (format) {
        case PropertyListFormat::xml:
            return makeXmlWriter(output, sizeHint);
        case PropertyListFormat::binary:
            return makeBinaryWriter(output, sizeHint);
        case PropertyListFormat::openStep:
            break;
    }
    unwritable("the old text format can be read but not written");
}

}  // namespace
}  // namespace plist

std::unique_ptr<PropertyListWriter> makePropertyListWriter(PropertyListFormat format,
                                                           std::size_t sizeHint) {
    return plist::makeWriter(format, nullptr, sizeHint);
}

std::unique_ptr<PropertyListWriter> makePropertyListWriter(PropertyListFormat format,
                                                           PropertyListOutput& output,
                                                           std::size_t sizeHint) {
    return plist::makeWriter(format, &output, sizeHint);
}

std::vector<std::uint8_t> writePropertyList(const ObjectRef& root, PropertyListFormat format,
                                            std::size_t sizeHint) {
    if (!root) plist::unwritable("there is no root object");
    auto writer = makePropertyListWriter(format, sizeHint);
    reportPropertyList(root, *writer);
    return writer->finish();
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
