#pragma once
// The layout of a binary property list, and checked access to its objects,
// for the binary reader and the binary string rewrite.
//
// The format: an eight-byte header "bplist00", the objects, a table of
// object offsets, and a 32-byte trailer giving the offset and reference
// widths, the object count, the root object and the position of the offset
// table. Containers refer to objects by index. Every access is checked; a
// defect throws the PropertyListError of invalid().

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "PropertyListCodec.h"

namespace base::plist {

inline constexpr std::string_view binaryHeader = "bplist00";
inline constexpr std::size_t binaryTrailerSize = 32;

inline std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t width) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
    return value;
}

// A big-endian number of `width` (1 to 8) bytes at `p`, read as one eight-
// byte word: the caller makes sure that eight bytes from `p` lie in the file.
inline std::uint64_t readBigEndianWord(const std::uint8_t* p, std::size_t width) noexcept {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word >> (64 - 8 * width);
}

// Bytes needed to store `value` (at least one).
inline std::uint8_t widthFor(std::uint64_t value) noexcept {
    std::uint8_t width = 1;
    while (width < 8 && (value >> (8 * width)) != 0) ++width;
    return width;
}

inline bool fitsInWidth(std::uint64_t value, std::uint64_t width) noexcept {
    return width >= 8 || (value >> (8 * width)) == 0;
}

// What reading a binary list of `fileSize` bytes may report, counting
// binaryNodeCost a value plus the length of its text or data (three bytes
// a UTF-16 unit), at every reference to a shared object: linear in the file
// however its objects are shared.
inline std::uint64_t binaryExpansionAllowance(std::uint64_t fileSize) noexcept {
    return 64 * fileSize + (std::uint64_t{1} << 20);
}
inline constexpr std::uint64_t binaryNodeCost = 16;

class BinaryObjects {
public:
    // Checks the header and the trailer.
    explicit BinaryObjects(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
        if (bytes_.size() < binaryHeader.size() + binaryTrailerSize + 2)
            invalid("the file is too short");
        if (std::memcmp(bytes_.data(), binaryHeader.data(), binaryHeader.size()) != 0)
            invalid("unsupported binary format version");
        const std::uint8_t* trailer = bytes_.data() + bytes_.size() - binaryTrailerSize;
        offsetWidth_ = trailer[6];
        referenceWidth_ = trailer[7];
        objectCount_ = readBigEndian(trailer + 8, 8);
        rootIndex_ = readBigEndian(trailer + 16, 8);
        tableOffset_ = readBigEndian(trailer + 24, 8);
        std::uint64_t tableEnd = bytes_.size() - binaryTrailerSize;

        if (offsetWidth_ < 1 || offsetWidth_ > 8) invalid("the offset width is not 1 to 8 bytes");
        if (referenceWidth_ < 1 || referenceWidth_ > 8)
            invalid("the reference width is not 1 to 8 bytes");
        if (objectCount_ == 0) invalid("the file holds no objects");
        if (rootIndex_ >= objectCount_) invalid("the root object is not in the object table");
        if (tableOffset_ <= binaryHeader.size() || tableOffset_ >= tableEnd)
            invalid("the offset table lies outside the file");
        if (objectCount_ > (tableEnd - tableOffset_) / offsetWidth_)
            invalid("the offset table is larger than the file");
        if (!fitsInWidth(objectCount_ - 1, referenceWidth_))
            invalid("the reference width is too small for the object count");
        if (!fitsInWidth(objectCount_ - 1, offsetWidth_))
            invalid("the offset width is too small for the object count");
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::uint64_t objectCount() const { return objectCount_; }
    std::uint64_t rootIndex() const { return rootIndex_; }
    std::uint64_t referenceWidth() const { return referenceWidth_; }
    // Where the object area ends.
    std::uint64_t tableOffset() const { return tableOffset_; }

    std::uint64_t offsetOf(std::uint64_t index) const {
        std::uint64_t offset = tableEntry(index);
        if (offset < binaryHeader.size() || offset >= tableOffset_)
            invalid("an object offset points outside the object area");
        return offset;
    }

    // The offset of an object whose offset has been checked.
    std::uint64_t checkedOffsetOf(std::uint64_t index) const { return tableEntry(index); }

    // `length` bytes at `offset`, which must lie before the offset table.
    const std::uint8_t* take(std::uint64_t offset, std::uint64_t length) const {
        if (offset > tableOffset_ || length > tableOffset_ - offset)
            invalid("an object runs past the object area");
        return bytes_.data() + offset;
    }

    // The object count that follows a marker whose low nibble is `info`:
    // the nibble itself, or for 15 the integer object at `offset`, which is
    // moved past it.
    std::uint64_t count(std::uint8_t info, std::uint64_t& offset) const {
        if (info != 0xF) return info;
        std::uint8_t marker = *take(offset, 1);
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3)
            invalid("an object count is not an integer");
        std::uint64_t width = std::uint64_t{1} << (marker & 0xF);
        std::uint64_t value = readBigEndian(take(offset + 1, width), width);
        offset += 1 + width;
        return value;
    }

    // The references of a container: `count` of them at `offset`. They lie
    // before the offset table, so a word read from any of them stays in the
    // file.
    const std::uint8_t* references(std::uint64_t count, std::uint64_t offset) const {
        if (count > tableOffset_ / referenceWidth_) invalid("an object runs past the object area");
        return take(offset, count * referenceWidth_);
    }

    std::uint64_t reference(const std::uint8_t* references, std::uint64_t i) const {
        std::uint64_t index = readBigEndianWord(references + i * referenceWidth_, referenceWidth_);
        if (index >= objectCount_) invalid("a reference points outside the object table");
        return index;
    }

private:
    // Entry `index` of the offset table. The 32-byte trailer follows the
    // table, so a word read from any entry stays in the file.
    std::uint64_t tableEntry(std::uint64_t index) const {
        return readBigEndianWord(bytes_.data() + tableOffset_ + index * offsetWidth_, offsetWidth_);
    }

    std::span<const std::uint8_t> bytes_;
    std::uint64_t offsetWidth_ = 0, referenceWidth_ = 0, objectCount_ = 0, rootIndex_ = 0,
                  tableOffset_ = 0;
};

}  // namespace base::plist
