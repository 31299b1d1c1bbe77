// Feeds arbitrary bytes to one property-list reader (chosen at build time by
// READER) and checks that it either fails cleanly or reports a well-formed
// document.

#include <cstddef>
#include <cstdint>

#include "EventChecker.h"
#include "PropertyListCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EventChecker checker;
    try {
        base::plist::READER(std::span<const std::uint8_t>(data, size), checker);
    } catch (const base::PropertyListError&) {
        return 0;
    }
    checker.finished();
    return 0;
}
