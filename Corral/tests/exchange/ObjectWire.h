#pragma once
// A small binary form of the object representation, and length-prefixed
// frames of it on a stream socket, for carrying live-view messages between
// two test processes.
//
// An object is one tag byte and its content; lengths and counts are 32-bit
// and every multi-byte number is little-endian:
//   's' string      length, UTF-8 bytes
//   'n' number      code length (1 byte), type code, storage (1 byte), 64 bits
//   'b' data        length, bytes
//   't' date        64-bit double, seconds since the reference date
//   'a' array       count, elements
//   'd' dictionary  count, key and value objects in order
// A frame is a 32-bit length followed by one encoded object.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "Corral/base/Object.h"

namespace wire {

using Bytes = std::vector<std::uint8_t>;

struct WireError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws WireError for an object outside the object representation.
Bytes encode(const base::ObjectRef& object);
// Throws WireError for bytes that are not exactly one encoded object.
base::ObjectRef decode(const Bytes& bytes);

// Writes one frame holding `object`; throws WireError when the socket
// fails (a closed peer included: no SIGPIPE is raised).
void writeFrame(int socket, const base::ObjectRef& object);
// Reads one frame: the object, or nothing at the end of the input. Throws
// WireError on a read error or a frame cut short.
std::optional<base::ObjectRef> readFrame(int socket);

}  // namespace wire
