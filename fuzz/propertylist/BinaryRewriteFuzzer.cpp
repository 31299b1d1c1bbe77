// Rewrites arbitrary bytes as a binary property list in place, marking each
// string with a "$": whatever the rewrite takes, the reader must take too,
// and what it writes must read as the list read, its strings marked.

#include <cstdio>
#include <cstdlib>

#include "Corral/plist/PropertyList.h"
#include "Corral/testing/MarkingRewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    testing_support::MarkingRewriter marking;
    auto rewritten = base::rewriteBinaryPropertyListStrings(bytes, marking);
    if (!rewritten) return 0;
    base::ObjectRef read;
    try {
        read = base::readPropertyList(bytes).root;
    } catch (const base::PropertyListError& error) {
        std::fprintf(stderr, "rewritten, but the reader refuses it: %s\n", error.reason().c_str());
        std::abort();
    }
    auto expected =
        base::writePropertyList(testing_support::marked(read), base::PropertyListFormat::binary);
    auto got = base::writePropertyList(base::readPropertyList(*rewritten).root,
                                       base::PropertyListFormat::binary);
    if (expected != got) {
        std::fputs("the rewritten list is not the list read, marked\n", stderr);
        std::abort();
    }
    return 0;
}
