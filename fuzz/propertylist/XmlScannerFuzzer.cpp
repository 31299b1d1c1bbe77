// Reads arbitrary bytes as XML with the scanner, the full parser and both
// combined, and aborts where they disagree: the scanner must never accept
// what the full parser refuses, nor report other values.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "XmlReaderComparison.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string disagreement = plisttest::compareXmlReaders(std::span(data, size));
    if (!disagreement.empty()) {
        std::fprintf(stderr, "%s\n", disagreement.c_str());
        std::abort();
    }
    return 0;
}
