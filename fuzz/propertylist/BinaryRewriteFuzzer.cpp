// Rewrites arbitrary bytes as a binary property list in place, marking each
// string with a "$": whatever the rewrite takes, the reader must take too,
// and what it writes must read as the list read, its strings marked. Written
// on a second thread along the check, it must give the same bytes or leave
// the list.

#include <cstdio>
#include <cstdlib>

#include "Corral/plist/PropertyList.h"
#include "Corral/testing/MarkingRewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    testing_support::MarkingRewriter marking;
    auto rewritten = base::rewriteBinaryPropertyListStrings(bytes, marking);
    testing_support::MarkingRewriter markingAlong;
    auto along =
        base::rewriteBinaryPropertyListStrings(bytes, markingAlong, base::BinaryRewriteThreads{0});
    if (along && along != rewritten) {
        std::fputs("written along the check, the list differs from the one written after\n",
                   stderr);
        std::abort();
    }
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
