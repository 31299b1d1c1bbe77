// A live view that breaks the framing: it writes a frame that is not a
// property list, then a good frame, then a length above the limit, straight
// to the socket the host gave it.
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "Corral/base/FileSystem.h"
#include "Corral/base/Objects.h"
#include "Corral/transport/MessageChannel.h"

int main() {
    const char* socket = std::getenv("CORRAL_LIVE_VIEW_SOCKET");
    if (!socket) return 2;
    int fd = std::atoi(socket);
    std::vector<std::uint8_t> junk = {0, 0, 0, 5, 'h', 'e', 'l', 'l', 'o'};
    auto good = transport::encodeFrame(base::String::make("after the dropped frame"));
    std::vector<std::uint8_t> huge = {0x7f, 0xff, 0xff, 0xff, 1, 2, 3};
    for (const auto* bytes : {&junk, &good, &huge}) {
        if (!base::writeAll(fd, *bytes)) return 1;
    }
    // Stay until the host closes the connection.
    std::uint8_t byte;
    while (::read(fd, &byte, 1) > 0) {
    }
    return 0;
}
