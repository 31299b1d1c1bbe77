#include "PropertyListRecorder.h"

#include <cstring>
#include <utility>

namespace base::plist {

namespace {

template <class Value>
Value load(const std::uint8_t*& at) {
    Value value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

}  // namespace

std::uint8_t* PropertyListRecorder::moreRoom(std::size_t length) {
    // The full block is the source's from here on, even if next() fails.
    if (!block_ || !block_->empty()) {
        EventBlock* full = std::exchange(block_, nullptr);
        block_ = &source_.next(full);
    }
    // One text larger than a block has a block of its own size.
    if (length > blockSize_) block_->reset(length);
    return block_->append(length);
}

void PropertyListRecorder::text(Tag viewTag, const void* bytes, std::size_t length) {
    auto* begin = static_cast<const std::uint8_t*>(bytes);
    if (length > 0 && begin >= stableBegin_ && begin + length <= stableEnd_) {
        std::uint8_t* at = room(1 + sizeof begin + sizeof length);
        *at = static_cast<std::uint8_t>(viewTag);
        std::memcpy(at + 1, &begin, sizeof begin);
        std::memcpy(at + 1 + sizeof begin, &length, sizeof length);
        return;
    }
    std::uint8_t* at = room(1 + sizeof length + length);
    *at = static_cast<std::uint8_t>(static_cast<std::uint8_t>(viewTag) + 1);
    std::memcpy(at + 1, &length, sizeof length);
    if (length) std::memcpy(at + 1 + sizeof length, bytes, length);
}

void replayEvents(std::span<const std::uint8_t> block, PropertyListSink& sink) {
    const std::uint8_t* at = block.data();
    const std::uint8_t* end = at + block.size();
    // A text recorded either way, as the bytes it stands for.
    auto text = [&at](RecordedTag tag, RecordedTag viewTag) {
        if (tag == viewTag) {
            auto* begin = load<const std::uint8_t*>(at);
            return std::span<const std::uint8_t>(begin, load<std::size_t>(at));
        }
        auto length = load<std::size_t>(at);
        std::span<const std::uint8_t> bytes(at, length);
        at += length;
        return bytes;
    };
    auto chars = [](std::span<const std::uint8_t> bytes) {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    while (at < end) {
        auto tag = static_cast<RecordedTag>(*at++);
        switch (tag) {
            case RecordedTag::beginDictionary:
                sink.beginDictionary();
                break;
            case RecordedTag::beginArray:
                sink.beginArray();
                break;
            case RecordedTag::endContainer:
                sink.endContainer();
                break;
            case RecordedTag::falseValue:
            case RecordedTag::trueValue:
                sink.boolean(tag == RecordedTag::trueValue);
                break;
            case RecordedTag::integer:
                sink.integer(load<std::int64_t>(at));
                break;
            case RecordedTag::unsignedInteger:
                sink.unsignedInteger(load<std::uint64_t>(at));
                break;
            case RecordedTag::real:
                sink.real(load<double>(at));
                break;
            case RecordedTag::date:
                sink.date(load<double>(at));
                break;
            case RecordedTag::keyView:
            case RecordedTag::keyCopy:
                sink.key(chars(text(tag, RecordedTag::keyView)));
                break;
            case RecordedTag::stringView:
            case RecordedTag::stringCopy:
                sink.string(chars(text(tag, RecordedTag::stringView)));
                break;
            case RecordedTag::dataView:
            case RecordedTag::dataCopy:
                sink.data(text(tag, RecordedTag::dataView));
                break;
        }
    }
}

}  // namespace base::plist
