// The I/O floor of a macrofill run: reads a file the way macrofill reads its
// input and writes a file of the same size the way macrofill writes its
// output (a new file beside the target, in pieces, flushed to disk, renamed
// over the target, the folder flushed), with no parsing in between. The
// file is the same kind as macrofill's, so it is brought to disk as it is
// written just the same.
//
//   macrofill-io-floor INPUT OUTPUT

#include <cstdio>
#include <span>

#include "Corral/base/AtomicFile.h"
#include "Corral/base/FileContents.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: macrofill-io-floor INPUT OUTPUT\n", stderr);
        return 64;
    }
    auto input = base::FileContents::ofPath(argv[1]);
    if (!input) {
        std::perror(argv[1]);
        return 74;
    }
    // Every byte of the input is looked at once, as a reader would.
    std::span<const std::uint8_t> bytes = input->bytes();
    unsigned sum = 0;
    for (std::uint8_t byte : bytes) sum += byte;
    base::AtomicFile output(argv[2]);
    constexpr std::size_t piece = std::size_t{1} << 18;
    bool written = output.isOpen();
    for (std::size_t at = 0; written && at < bytes.size(); at += piece) {
        written = output.write(bytes.subspan(at, std::min(piece, bytes.size() - at)));
    }
    if (!written || !output.commit()) {
        std::perror(argv[2]);
        return 74;
    }
    return sum == 1 ? 1 : 0;  // keeps the sum from being optimised away
}
