#pragma once
// Reading a property list on a thread of its own while the calling thread
// takes the values: the reader's calls are recorded into blocks of a compact
// encoding, handed over through a short queue of recycled blocks, and played
// to the sink in the same order. The sink sees exactly the calls, and the
// failure, that reading straight into it would give; the reading thread
// stops and is joined before any of these functions returns or throws.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "Corral/plist/PropertyListStream.h"

namespace base {

struct PropertyListPipeOptions {
    // Bytes of recorded calls per block; a single text larger than that
    // gets a block of its own size for as long as it is in use.
    std::size_t blockSize = std::size_t{256} << 10;
    // Blocks in use at once, the one being filled included. At least one.
    std::size_t blockCount = 4;
};

// Runs `read` on a second thread, reporting to a recorder, and plays what
// it reports to `sink` on the calling thread. Texts that lie inside
// `stable` (bytes that stay unchanged until this returns) are passed on as
// views of it; all others are copied.
//
// A failure of `read` reaches the caller after every call reported before
// it has been played. A failure of `sink` stops the reading thread at its
// next hand-over and is thrown once that thread has ended. Where no thread
// can be started, `read` reports straight to `sink`.
PLIST_EXPORT void pipePropertyList(std::span<const std::uint8_t> stable,
                                   const std::function<void(PropertyListSink&)>& read,
                                   PropertyListSink& sink,
                                   const PropertyListPipeOptions& options = {});

// readPropertyList(bytes, sink) with the reading on a thread of its own.
PLIST_EXPORT PropertyListFormat
readPropertyListPipelined(std::span<const std::uint8_t> bytes, PropertyListSink& sink,
                          const PropertyListPipeOptions& options = {});

}  // namespace base
