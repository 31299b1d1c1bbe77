#pragma once
// Property lists made to hurt a reader, for the suites of every program that
// reads them.

#include <cstddef>
#include <cstdint>
#include <string>
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

// An XML property list of `depth` arrays, each holding the next.
inline std::string nestedXmlList(std::size_t depth) {
    std::string text = "<plist>";
    for (std::size_t i = 0; i < depth; ++i) text += "<array>";
    for (std::size_t i = 0; i < depth; ++i) text += "</array>";
    return text + "</plist>";
}

// A binary property list of `depth` one-element arrays (below 2^24), each
// holding the next, the last one empty: four-byte offsets, three-byte
// references.
inline std::vector<std::uint8_t> nestedBinaryList(std::size_t depth) {
    std::vector<std::uint8_t> out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    auto put = [&](std::uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i)
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    std::vector<std::uint64_t> offsets;
    for (std::size_t i = 0; i < depth; ++i) {
        offsets.push_back(out.size());
        if (i + 1 < depth) {
            out.push_back(0xA1);
            put(i + 1, 3);
        } else {
            out.push_back(0xA0);
        }
    }
    const std::uint64_t tableOffset = out.size();
    for (auto offset : offsets) put(offset, 4);
    out.insert(out.end(), 6, 0);
    out.push_back(4);
    out.push_back(3);
    put(depth, 8);
    put(0, 8);
    put(tableOffset, 8);
    return out;
}

}  // namespace testing_support
