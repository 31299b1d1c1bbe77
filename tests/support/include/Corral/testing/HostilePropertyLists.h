#pragma once
// Property lists made to hurt a reader, for the suites of every program that
// reads them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// A binary property list of an array holding `references` one-byte
// references, all to one data object of `dataBytes` bytes (both below
// 65,536). Read as a tree it expands to references × dataBytes bytes; with
// 20,012 of each, 40,076 bytes of file become 400 MB.
inline std::vector<std::uint8_t> sharedDataList(std::size_t references, std::size_t dataBytes) {
    std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    auto put16 = [&](std::size_t value) {
        out.push_back(static_cast<std::uint8_t>(value >> 8));
        out.push_back(static_cast<std::uint8_t>(value));
    };
    // Object 0, the array; object 1, the data. Counts are two-byte integers.
    std::size_t arrayOffset = out.size();
    out.insert(out.end(), {0xAF, 0x11});
    put16(references);
    out.insert(out.end(), references, 1);
    std::size_t dataOffset = out.size();
    out.insert(out.end(), {0x4F, 0x11});
    put16(dataBytes);
    out.insert(out.end(), dataBytes, 0xA5);
    std::size_t tableOffset = out.size();
    put16(arrayOffset);
    put16(dataOffset);
    // The trailer: two-byte offsets, one-byte references, two objects, root
    // 0, then where the offset table starts.
    std::uint8_t trailer[32] = {0, 0, 0, 0, 0, 0, 2, 1};
    trailer[15] = 2;
    for (int i = 0; i < 8; ++i) trailer[31 - i] = static_cast<std::uint8_t>(tableOffset >> (8 * i));
    out.insert(out.end(), trailer, trailer + 32);
    return out;
}

}  // namespace testing_support
