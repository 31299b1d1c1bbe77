#pragma once
// Rewrites the string values of a binary property list object by object,
// without reading the list into values: for a program that changes a few
// strings of a large list and writes it in the format it came in.

#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Corral/plist/PropertyListStream.h"

namespace base {

class PLIST_EXPORT BinaryStringRewriter {
public:
    virtual ~BinaryStringRewriter();
    // The new text of a string that stands as a value, or null to keep it.
    // The text lives until the next call. Called once for each stored
    // string, however many places refer to it (but see BinaryRewriteThreads).
    // Exceptions pass through rewriteBinaryPropertyListStrings.
    virtual const std::string* rewrite(std::string_view text) = 0;
};

// How a rewrite spreads its work over threads.
struct BinaryRewriteThreads {
    // Lists of at least this many bytes are written on a second thread
    // while the calling thread checks them. The rewriter is then called on
    // that thread, once for every stored string in the order of the object
    // table, keys and all, and never for two at once. Only the calls for
    // strings that stand as values count: an exception from any other is
    // dropped. A list where a string that stands only as a key would change
    // is then left to the caller as well.
    std::size_t writeAlongFrom = std::numeric_limits<std::size_t>::max();
};

// Writes `bytes`, a binary property list, to `output` with each string that
// stands as a value (an array element, a dictionary value or the root,
// never a key) replaced as `rewriter` says. Every other object is copied as
// it is, and each object keeps its index, so the work is a pass over the
// file, however large the list or however its objects are shared.
//
// True when the list was written. False, with what was written of no use,
// for a list this does not rewrite; the caller then reads it in full (which
// refuses it, or settles it): a list the reader refuses, one whose root is
// not an array, a dictionary or a string, one with an object that the root
// does not lead to, one with a dictionary that gives a key twice, one
// nested deeper than propertyListMaxDepth, one that would expand beyond
// what the reader allows, and one where a string to be replaced is a
// dictionary key too, or becomes text that a list cannot hold.
PLIST_EXPORT bool rewriteBinaryPropertyListStrings(std::span<const std::uint8_t> bytes,
                                                   PropertyListOutput& output,
                                                   BinaryStringRewriter& rewriter,
                                                   const BinaryRewriteThreads& threads = {});
// The same, returning the bytes; nothing for a list it does not rewrite.
PLIST_EXPORT std::optional<std::vector<std::uint8_t>> rewriteBinaryPropertyListStrings(
    std::span<const std::uint8_t> bytes, BinaryStringRewriter& rewriter,
    const BinaryRewriteThreads& threads = {});

}  // namespace base
