#pragma once
// The buffer between a writer and its output: bytes gather in a block of
// fixed size that is handed to the output whenever it fills, so a writer
// never holds more than that block of the document.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "Corral/plist/PropertyListStream.h"

namespace base::plist {

// An output that keeps everything in memory, for writers asked for bytes.
class MemoryOutput final : public PropertyListOutput {
public:
    explicit MemoryOutput(std::size_t sizeHint) { bytes_.reserve(sizeHint); }
    void write(std::span<const std::uint8_t> bytes) override {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    }
    std::span<const std::uint8_t> written(std::uint64_t offset, std::size_t length) override {
        if (offset > bytes_.size() || length > bytes_.size() - offset) return {};
        return std::span(bytes_).subspan(static_cast<std::size_t>(offset), length);
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// Writes `count` tabs at `at` and returns their end; the eight bytes from
// `at` must be free too. The usual few go as one fixed copy of eight, of
// which what lies past the count is overwritten next.
inline char* putTabs(char* at, std::size_t count) {
    if (count <= 8)
        std::memcpy(at, "\t\t\t\t\t\t\t\t", 8);
    else
        std::memset(at, '\t', count);
    return at + count;
}

class OutputBuffer {
public:
    explicit OutputBuffer(PropertyListOutput& output)
        : output_(output), block_(new std::uint8_t[blockSize]) {
        next_ = block_.get();
    }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Bytes written so far, handed on or not.
    std::uint64_t size() const { return handedOn_ + buffered(); }

    void put(std::uint8_t byte) {
        if (next_ == block_.get() + blockSize) flush();
        *next_++ = byte;
    }
    void put(char c) { put(static_cast<std::uint8_t>(c)); }
    void put(std::string_view text) { put(text.data(), text.size()); }
    void put(std::span<const std::uint8_t> bytes) { put(bytes.data(), bytes.size()); }
    void put(const void* data, std::size_t length) {
        if (length == 0) return;  // an empty text may have no address
        if (length <= room()) {
            std::memcpy(next_, data, length);
            next_ += length;
            return;
        }
        putLong(static_cast<const std::uint8_t*>(data), length);
    }
    // Room for the next `length` bytes, which the caller must fill, or null
    // when the block has not that much room left.
    char* claim(std::size_t length) {
        if (length > room()) return nullptr;
        char* at = reinterpret_cast<char*>(next_);
        next_ += length;
        return at;
    }
    // `count` tabs.
    void tabs(std::size_t count) {
        if (room() >= std::max<std::size_t>(count, 8)) {
            next_ = reinterpret_cast<std::uint8_t*>(putTabs(reinterpret_cast<char*>(next_), count));
            return;
        }
        fill('\t', count);
    }
    void fill(std::uint8_t byte, std::size_t count) {
        while (count) {
            if (!room()) flush();
            std::size_t run = std::min(count, room());
            std::memset(next_, byte, run);
            next_ += run;
            count -= run;
        }
    }

    // The `length` bytes written at `offset`, or empty when they cannot be
    // read back. Valid until the next call.
    std::span<const std::uint8_t> at(std::uint64_t offset, std::size_t length) {
        if (offset > size() || length > size() - offset) return {};
        if (offset >= handedOn_) return {block_.get() + (offset - handedOn_), length};
        if (offset + length > handedOn_) flush();
        return output_.written(offset, length);
    }

    // Hands what is buffered to the output.
    void flush() {
        if (!buffered()) return;
        output_.write(std::span<const std::uint8_t>(block_.get(), buffered()));
        handedOn_ += buffered();
        next_ = block_.get();
    }

private:
    static constexpr std::size_t blockSize = std::size_t{1} << 18;

    std::size_t buffered() const { return static_cast<std::size_t>(next_ - block_.get()); }
    std::size_t room() const { return blockSize - buffered(); }

    // What does not fit goes to the output directly, after what is buffered.
    void putLong(const std::uint8_t* data, std::size_t length) {
        flush();
        if (length < blockSize) {
            std::memcpy(next_, data, length);
            next_ += length;
            return;
        }
        output_.write(std::span<const std::uint8_t>(data, length));
        handedOn_ += length;
    }

    PropertyListOutput& output_;
    std::unique_ptr<std::uint8_t[]> block_;
    std::uint8_t* next_;
    std::uint64_t handedOn_ = 0;
};

// What the XML and binary writers share: their buffer, and the memory output
// of a writer made without an output of its own.
class BufferedWriter : public PropertyListWriter {
protected:
    BufferedWriter(PropertyListOutput* output, std::size_t sizeHint)
        : memory_(output ? nullptr : std::make_unique<MemoryOutput>(sizeHint)),
          out_(output ? *output : *memory_) {}

    // Hands the rest of the document on; the bytes when they were kept here.
    std::vector<std::uint8_t> complete() {
        out_.flush();
        return memory_ ? memory_->take() : std::vector<std::uint8_t>{};
    }

private:
    std::unique_ptr<MemoryOutput> memory_;

protected:
    OutputBuffer out_;
};

}  // namespace base::plist
