// Expands fuzzed property lists in one pass and through objects, with a
// fixed set of definitions, and requires the same outcome, message and bytes.

#include <cstdio>
#include <cstdlib>

#include "Corral/base/Objects.h"
#include "PropertyListExpansion.h"

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
        streamed.bytes != objects.bytes) {
        std::fprintf(stderr, "one pass: %d %s\nobjects: %d %s\n",
                     static_cast<int>(streamed.outcome), streamed.failure.c_str(),
                     static_cast<int>(objects.outcome), objects.failure.c_str());
        std::abort();
    }
    return 0;
}
