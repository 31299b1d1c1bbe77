#pragma once
// A sink that writes the calls it takes into blocks of bytes, and the
// replay that makes the same calls on another sink.
//
// Each call is a tag byte and the tag's fields: nothing for the
// container calls, eight bytes for a number, and for a text either a view
// (address and length of bytes that outlive the replay) or its length and a
// copy. To record a new call: a tag, an override that encodes it, a case in
// replayEvents that decodes it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

#include "Corral/plist/PropertyListStream.h"

namespace base::plist {

class EventBlock {
public:
    explicit EventBlock(std::size_t capacity) { allocate(capacity); }

    std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }
    bool empty() const { return size_ == 0; }

    // `length` bytes at the end, or nullptr when they do not fit.
    std::uint8_t* append(std::size_t length) {
        if (length > capacity_ - size_) return nullptr;
        std::uint8_t* at = data_.get() + size_;
        size_ += length;
        return at;
    }
    // Empties the block and gives it room for `capacity` bytes: a block
    // grown for one large text does not stay large.
    void reset(std::size_t capacity) {
        size_ = 0;
        if (capacity_ != capacity) allocate(capacity);
    }

private:
    void allocate(std::size_t capacity) {
        data_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        capacity_ = capacity;
    }

    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// The tag byte of each recorded call. A text's view tag is followed by its
// copy tag.
enum class RecordedTag : std::uint8_t {
    beginDictionary,
    beginArray,
    endContainer,
    falseValue,
    trueValue,
    integer,
    unsignedInteger,
    real,
    date,
    keyView,
    keyCopy,
    stringView,
    stringCopy,
    dataView,
    dataCopy,
};

// Where a recorder takes its blocks from and puts the full ones.
class EventBlockSource {
public:
    virtual ~EventBlockSource() = default;
    // Takes `full` (when not null) and returns an empty block to fill next.
    // May throw to stop the reading that records.
    virtual EventBlock& next(EventBlock* full) = 0;
};

class PropertyListRecorder final : public PropertyListSink {
public:
    // Texts inside `stable` are recorded as views of it; `blockSize` is the
    // size of the blocks `source` gives.
    PropertyListRecorder(std::span<const std::uint8_t> stable, EventBlockSource& source,
                         std::size_t blockSize)
        : stableBegin_(stable.data()),
          stableEnd_(stable.data() + stable.size()),
          source_(source),
          blockSize_(blockSize) {}

    // The block being filled, handed back; nothing is recorded after this.
    EventBlock* release() { return std::exchange(block_, nullptr); }

    using Tag = RecordedTag;
    void beginDictionary() override { tagOnly(Tag::beginDictionary); }
    void key(std::string_view text) override { this->text(Tag::keyView, text.data(), text.size()); }
    void beginArray() override { tagOnly(Tag::beginArray); }
    void endContainer() override { tagOnly(Tag::endContainer); }
    void string(std::string_view text) override {
        this->text(Tag::stringView, text.data(), text.size());
    }
    void boolean(bool value) override { tagOnly(value ? Tag::trueValue : Tag::falseValue); }
    void integer(std::int64_t value) override { fixed(Tag::integer, value); }
    void unsignedInteger(std::uint64_t value) override { fixed(Tag::unsignedInteger, value); }
    void real(double value) override { fixed(Tag::real, value); }
    void date(double seconds) override { fixed(Tag::date, seconds); }
    void data(std::span<const std::uint8_t> bytes) override {
        text(Tag::dataView, bytes.data(), bytes.size());
    }

private:
    std::uint8_t* room(std::size_t length) {
        if (block_)
            if (std::uint8_t* at = block_->append(length)) return at;
        return moreRoom(length);
    }
    std::uint8_t* moreRoom(std::size_t length);
    void tagOnly(Tag tag) { *room(1) = static_cast<std::uint8_t>(tag); }
    template <class Value>
    void fixed(Tag tag, Value value) {
        std::uint8_t* at = room(1 + sizeof value);
        *at = static_cast<std::uint8_t>(tag);
        std::memcpy(at + 1, &value, sizeof value);
    }
    void text(Tag viewTag, const void* bytes, std::size_t length);

    const std::uint8_t* stableBegin_;
    const std::uint8_t* stableEnd_;
    EventBlockSource& source_;
    std::size_t blockSize_;
    EventBlock* block_ = nullptr;
};

// Makes the calls recorded in `block` on `sink`, in order.
void replayEvents(std::span<const std::uint8_t> block, PropertyListSink& sink);

}  // namespace base::plist
