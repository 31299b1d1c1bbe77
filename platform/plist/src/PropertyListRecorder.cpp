#include "PropertyListRecorder.h"

#include <cstring>
#include <utility>

namespace base::plist {

namespace {

// A text's view tag is followed by its copy tag.
enum Tag : std::uint8_t {
    beginDictionaryTag,
    beginArrayTag,
    endContainerTag,
    falseTag,
    trueTag,
    integerTag,
    unsignedIntegerTag,
    realTag,
    dateTag,
    keyViewTag,
    keyCopyTag,
    stringViewTag,
    stringCopyTag,
    dataViewTag,
    dataCopyTag,
};

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

void PropertyListRecorder::tagOnly(std::uint8_t tag) { *room(1) = tag; }

template <class Value>
void PropertyListRecorder::fixed(std::uint8_t tag, Value value) {
    std::uint8_t* at = room(1 + sizeof value);
    *at = tag;
    std::memcpy(at + 1, &value, sizeof value);
}

void PropertyListRecorder::text(std::uint8_t viewTag, const void* bytes, std::size_t length) {
    auto* begin = static_cast<const std::uint8_t*>(bytes);
    if (length > 0 && begin >= stableBegin_ && begin + length <= stableEnd_) {
        std::uint8_t* at = room(1 + sizeof begin + sizeof length);
        *at = viewTag;
        std::memcpy(at + 1, &begin, sizeof begin);
        std::memcpy(at + 1 + sizeof begin, &length, sizeof length);
        return;
    }
    std::uint8_t* at = room(1 + sizeof length + length);
    *at = static_cast<std::uint8_t>(viewTag + 1);
    std::memcpy(at + 1, &length, sizeof length);
    if (length) std::memcpy(at + 1 + sizeof length, bytes, length);
}

void PropertyListRecorder::beginDictionary() { tagOnly(beginDictionaryTag); }
void PropertyListRecorder::beginArray() { tagOnly(beginArrayTag); }
void PropertyListRecorder::endContainer() { tagOnly(endContainerTag); }
void PropertyListRecorder::key(std::string_view text) {
    this->text(keyViewTag, text.data(), text.size());
}
void PropertyListRecorder::string(std::string_view text) {
    this->text(stringViewTag, text.data(), text.size());
}
void PropertyListRecorder::boolean(bool value) { tagOnly(value ? trueTag : falseTag); }
void PropertyListRecorder::integer(std::int64_t value) { fixed(integerTag, value); }
void PropertyListRecorder::unsignedInteger(std::uint64_t value) {
    fixed(unsignedIntegerTag, value);
}
void PropertyListRecorder::real(double value) { fixed(realTag, value); }
void PropertyListRecorder::date(double seconds) { fixed(dateTag, seconds); }
void PropertyListRecorder::data(std::span<const std::uint8_t> bytes) {
    text(dataViewTag, bytes.data(), bytes.size());
}

void replayEvents(std::span<const std::uint8_t> block, PropertyListSink& sink) {
    const std::uint8_t* at = block.data();
    const std::uint8_t* end = at + block.size();
    // A text recorded either way, as the bytes it stands for.
    auto text = [&at](std::uint8_t tag, std::uint8_t viewTag) {
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
        std::uint8_t tag = *at++;
        switch (tag) {
            case beginDictionaryTag:
                sink.beginDictionary();
                break;
            case beginArrayTag:
                sink.beginArray();
                break;
            case endContainerTag:
                sink.endContainer();
                break;
            case falseTag:
            case trueTag:
                sink.boolean(tag == trueTag);
                break;
            case integerTag:
                sink.integer(load<std::int64_t>(at));
                break;
            case unsignedIntegerTag:
                sink.unsignedInteger(load<std::uint64_t>(at));
                break;
            case realTag:
                sink.real(load<double>(at));
                break;
            case dateTag:
                sink.date(load<double>(at));
                break;
            case keyViewTag:
            case keyCopyTag:
                sink.key(chars(text(tag, keyViewTag)));
                break;
            case stringViewTag:
            case stringCopyTag:
                sink.string(chars(text(tag, stringViewTag)));
                break;
            case dataViewTag:
            case dataCopyTag:
                sink.data(text(tag, dataViewTag));
                break;
        }
    }
}

}  // namespace base::plist
