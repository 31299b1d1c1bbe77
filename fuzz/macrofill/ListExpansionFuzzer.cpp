// Expands fuzzed property lists in one pass and through objects, with a
// fixed set of definitions, and requires the same outcome, message and
// list: the same bytes, or for a binary list, which the one pass may lay
// out otherwise, the same bytes once read and written again.

#include <cstdio>
#include <cstdlib>

#include "Corral/base/Objects.h"
#include "Corral/plist/PropertyList.h"
#include "PropertyListExpansion.h"

namespace {

std::vector<std::uint8_t> valueOf(const macrofill::PropertyListExpansion& expansion) {
    if (expansion.outcome != macrofill::PropertyListExpansion::Outcome::expanded ||
        base::propertyListFormatOf(expansion.bytes) != base::PropertyListFormat::binary)
        return expansion.bytes;
    return base::writePropertyList(base::readPropertyList(expansion.bytes).root,
                                   base::PropertyListFormat::binary);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto definitions = base::Dictionary::withStringKeys({
        {"A", base::String::make("alpha")},
        {"B", base::String::make("<$(A)>")},
        {"LOOP", base::String::make("x$(LOOP)")},
        {"N", base::Number::initWithInteger(1)},
        {"C", base::String::make("\x01")},
    });
    std::span<const std::uint8_t> input(data, size);
    std::vector<base::ObjectRef> keep;
    auto streamed = macrofill::expandPropertyList(input, *definitions, keep);
    macrofill::MacroExpander expander(*definitions);
    auto objects = macrofill::expandPropertyListObjects(input, expander, keep);
    if (streamed.outcome != objects.outcome || streamed.failure != objects.failure ||
        valueOf(streamed) != valueOf(objects)) {
        std::fprintf(stderr, "one pass: %d %s\nobjects: %d %s\n",
                     static_cast<int>(streamed.outcome), streamed.failure.c_str(),
                     static_cast<int>(objects.outcome), objects.failure.c_str());
        std::abort();
    }
    return 0;
}
