// The binary property-list format: an eight-byte header "bplist00", the
// objects, a table of object offsets, and a 32-byte trailer giving the
// offset and reference widths, the object count, the root object and the
// position of the offset table. Containers refer to objects by index.

#include <bit>
#include <cstring>
#include <unordered_map>

#include "PropertyListCodec.h"
#include "Unicode.h"
#include "base/Objects.h"

namespace base::plist {

namespace {

constexpr std::string_view header = "bplist00";
constexpr std::size_t trailerSize = 32;

std::uint64_t readBigEndian(const std::uint8_t* p, std::size_t width) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
    return value;
}

// Bytes needed to store `value` (at least one).
std::uint8_t widthFor(std::uint64_t value) noexcept {
    std::uint8_t width = 1;
    while (width < 8 && (value >> (8 * width)) != 0) ++width;
    return width;
}

bool fitsInWidth(std::uint64_t value, std::uint64_t width) noexcept {
    return width >= 8 || (value >> (8 * width)) == 0;
}

// Reading

class BinaryReader {
public:
    explicit BinaryReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    ObjectRef read() {
        if (bytes_.size() < header.size() + trailerSize + 2) invalid("the file is too short");
        if (std::memcmp(bytes_.data(), header.data(), header.size()) != 0)
            invalid("unsupported binary format version");
        const std::uint8_t* trailer = bytes_.data() + bytes_.size() - trailerSize;
        offsetWidth_ = trailer[6];
        referenceWidth_ = trailer[7];
        objectCount_ = readBigEndian(trailer + 8, 8);
        std::uint64_t rootIndex = readBigEndian(trailer + 16, 8);
        tableOffset_ = readBigEndian(trailer + 24, 8);
        std::uint64_t tableEnd = bytes_.size() - trailerSize;

        if (offsetWidth_ < 1 || offsetWidth_ > 8) invalid("the offset width is not 1 to 8 bytes");
        if (referenceWidth_ < 1 || referenceWidth_ > 8)
            invalid("the reference width is not 1 to 8 bytes");
        if (objectCount_ == 0) invalid("the file holds no objects");
        if (rootIndex >= objectCount_) invalid("the root object is not in the object table");
        if (tableOffset_ <= header.size() || tableOffset_ >= tableEnd)
            invalid("the offset table lies outside the file");
        if (objectCount_ > (tableEnd - tableOffset_) / offsetWidth_)
            invalid("the offset table is larger than the file");
        if (!fitsInWidth(objectCount_ - 1, referenceWidth_))
            invalid("the reference width is too small for the object count");
        if (!fitsInWidth(objectCount_ - 1, offsetWidth_))
            invalid("the offset width is too small for the object count");

        objects_.resize(objectCount_);
        state_.resize(objectCount_, State::unread);
        expandedCount_.resize(objectCount_, 0);
        // A graph may share objects, but not so often that walking it as a
        // tree would visit far more values than the file could spell out.
        expandedLimit_ = 4 * static_cast<std::uint64_t>(bytes_.size()) + 1024;
        return object(rootIndex);
    }

private:
    enum class State : std::uint8_t { unread, reading, read };

    std::uint64_t offsetOf(std::uint64_t index) const {
        std::uint64_t offset =
            readBigEndian(bytes_.data() + tableOffset_ + index * offsetWidth_, offsetWidth_);
        if (offset < header.size() || offset >= tableOffset_)
            invalid("an object offset points outside the object area");
        return offset;
    }

    // `length` bytes at `offset`, which must lie before the offset table.
    const std::uint8_t* take(std::uint64_t offset, std::uint64_t length) const {
        if (offset > tableOffset_ || length > tableOffset_ - offset)
            invalid("an object runs past the object area");
        return bytes_.data() + offset;
    }

    // The object count that follows a marker whose low nibble is 15.
    std::uint64_t count(std::uint8_t info, std::uint64_t& offset) const {
        if (info != 0xF) return info;
        std::uint8_t marker = *take(offset, 1);
        if ((marker >> 4) != 0x1 || (marker & 0xF) > 3) invalid("an object count is not an integer");
        std::uint64_t width = std::uint64_t{1} << (marker & 0xF);
        std::uint64_t value = readBigEndian(take(offset + 1, width), width);
        offset += 1 + width;
        return value;
    }

    ObjectRef object(std::uint64_t index) {
        if (state_[index] == State::read) return objects_[index];
        if (state_[index] == State::reading) invalid("object references form a cycle");
        state_[index] = State::reading;
        std::uint64_t expanded = 1;
        ObjectRef result = parse(offsetOf(index), expanded);
        state_[index] = State::read;
        expandedCount_[index] = expanded;
        objects_[index] = result;
        return result;
    }

    ObjectRef parse(std::uint64_t offset, std::uint64_t& expanded) {
        std::uint8_t marker = *take(offset, 1);
        std::uint8_t info = marker & 0xF;
        ++offset;
        switch (marker >> 4) {
            case 0x0:
                if (info == 0x8 || info == 0x9) return booleanObject(info == 0x9);
                invalid("unsupported object type");
            case 0x1:
                return integer(info, offset);
            case 0x2:
            case 0x3: {
                if (info != 2 && info != 3) invalid("a real or date has an unsupported size");
                if ((marker >> 4) == 0x3 && info != 3) invalid("a date has an unsupported size");
                const std::uint8_t* p = take(offset, std::uint64_t{1} << info);
                double value = info == 2
                                   ? std::bit_cast<float>(static_cast<std::uint32_t>(readBigEndian(p, 4)))
                                   : std::bit_cast<double>(readBigEndian(p, 8));
                if ((marker >> 4) == 0x3) return Date::withTimeIntervalSinceReferenceDate(value);
                return Number::initWithDouble(value);
            }
            case 0x4: {
                std::uint64_t length = count(info, offset);
                const std::uint8_t* p = take(offset, length);
                return Data::make(std::span<const std::uint8_t>(p, length));
            }
            case 0x5: {
                std::uint64_t length = count(info, offset);
                std::string_view text(reinterpret_cast<const char*>(take(offset, length)), length);
                if (!unicode::isAscii(text)) invalid("an ASCII string holds a non-ASCII byte");
                return String::make(std::string(text));
            }
            case 0x6: {
                std::uint64_t units = count(info, offset);
                if (units > tableOffset_ / 2) invalid("an object runs past the object area");
                const std::uint8_t* p = take(offset, units * 2);
                std::string text;
                if (!unicode::appendUtf16BigEndianAsUtf8(text, p, units))
                    invalid("a string is not valid UTF-16");
                return String::make(std::move(text));
            }
            case 0xA:
            case 0xD: {
                std::uint64_t elements = count(info, offset);
                return (marker >> 4) == 0xA ? array(elements, offset, expanded)
                                            : dictionary(elements, offset, expanded);
            }
            default:
                invalid("unsupported object type");
        }
    }

    ObjectRef integer(std::uint8_t info, std::uint64_t offset) const {
        if (info > 4) invalid("an integer has an unsupported size");
        std::uint64_t width = std::uint64_t{1} << info;
        const std::uint8_t* p = take(offset, width);
        if (info < 3) return integerObject(static_cast<std::int64_t>(readBigEndian(p, width)));
        if (info == 3) return integerObject(static_cast<std::int64_t>(readBigEndian(p, 8)));
        // Sixteen bytes: a signed 128-bit integer. Kept when it fits in 64
        // bits, signed or unsigned.
        std::uint64_t high = readBigEndian(p, 8), low = readBigEndian(p + 8, 8);
        if (high == 0) return unsignedIntegerObject(low);
        if (high == ~std::uint64_t{0} && (low >> 63))
            return integerObject(static_cast<std::int64_t>(low));
        invalid("an integer does not fit in 64 bits");
    }

    // The references of a container: `count` of them at `offset`.
    const std::uint8_t* references(std::uint64_t count, std::uint64_t offset) const {
        if (count > tableOffset_ / referenceWidth_) invalid("an object runs past the object area");
        return take(offset, count * referenceWidth_);
    }

    ObjectRef child(const std::uint8_t* reference, std::uint64_t& expanded) {
        std::uint64_t index = readBigEndian(reference, referenceWidth_);
        if (index >= objectCount_) invalid("a reference points outside the object table");
        ObjectRef result = object(index);
        expanded += expandedCount_[index];
        if (expanded > expandedLimit_) invalid("objects are shared so often that the list would expand beyond its size");
        return result;
    }

    ObjectRef array(std::uint64_t count, std::uint64_t offset, std::uint64_t& expanded) {
        DepthGuard guard(depth_, false);
        const std::uint8_t* refs = references(count, offset);
        std::vector<ObjectRef> elements;
        elements.reserve(count);
        for (std::uint64_t i = 0; i < count; ++i)
            elements.push_back(child(refs + i * referenceWidth_, expanded));
        return Array::make(std::move(elements));
    }

    ObjectRef dictionary(std::uint64_t count, std::uint64_t offset, std::uint64_t& expanded) {
        DepthGuard guard(depth_, false);
        if (count > tableOffset_ / 2) invalid("an object runs past the object area");
        const std::uint8_t* keys = references(count * 2, offset);
        const std::uint8_t* values = keys + count * referenceWidth_;
        Dictionary::Builder builder(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            ObjectRef key = child(keys + i * referenceWidth_, expanded);
            if (key->kind() != Kind::string) invalid("a dictionary key is not a string");
            builder.set(std::move(key), child(values + i * referenceWidth_, expanded));
        }
        return builder.build();
    }

    std::span<const std::uint8_t> bytes_;
    std::uint64_t offsetWidth_ = 0, referenceWidth_ = 0, objectCount_ = 0, tableOffset_ = 0;
    std::vector<ObjectRef> objects_;
    std::vector<State> state_;
    std::vector<std::uint64_t> expandedCount_;
    std::uint64_t expandedLimit_ = 0;
    std::size_t depth_ = 0;
};

// Writing

class BinaryWriter {
public:
    explicit BinaryWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void write(const ObjectRef& root) {
        flatten(*root);
        referenceWidth_ = widthFor(objects_.size() - 1);
        out_.insert(out_.end(), header.begin(), header.end());
        std::vector<std::uint64_t> offsets;
        offsets.reserve(objects_.size());
        for (const auto& entry : objects_) {
            offsets.push_back(out_.size());
            writeObject(entry);
        }
        std::uint64_t tableOffset = out_.size();
        std::uint8_t offsetWidth = widthFor(offsets.back());
        for (std::uint64_t offset : offsets) putBigEndian(offset, offsetWidth);
        std::uint8_t trailer[trailerSize] = {};
        trailer[6] = offsetWidth;
        trailer[7] = referenceWidth_;
        out_.insert(out_.end(), trailer, trailer + 8);
        putBigEndian(objects_.size(), 8);
        putBigEndian(0, 8);  // the root is the first object
        putBigEndian(tableOffset, 8);
    }

private:
    struct Entry {
        const Object* object;
        std::size_t firstReference;  // containers: where their references start in references_
    };

    // Gives every distinct object an index, the root first, then each
    // container's children (a dictionary's keys, then its values). Equal
    // strings share one object; other objects are shared when they are the
    // same object.
    std::uint64_t flatten(const Object& object) {
        if (object.kind() == Kind::string) {
            auto [it, added] = strings_.try_emplace(std::string_view(writableText(object)), objects_.size());
            if (!added) return it->second;
        } else if (object.kind() == Kind::array || object.kind() == Kind::dictionary) {
            auto [it, added] = shared_.try_emplace(&object, objects_.size());
            if (!added) return it->second;
        }
        std::uint64_t index = objects_.size();
        objects_.push_back({&object, references_.size()});
        if (object.kind() == Kind::array) {
            DepthGuard guard(depth_, true);
            const auto& array = static_cast<const Array&>(object);
            std::size_t first = references_.size();
            references_.resize(first + array.count());
            for (std::size_t i = 0; i < array.count(); ++i)
                references_[first + i] = flatten(*array.at(i));
        } else if (object.kind() == Kind::dictionary) {
            DepthGuard guard(depth_, true);
            const auto& dictionary = static_cast<const Dictionary&>(object);
            std::size_t first = references_.size(), count = dictionary.count();
            references_.resize(first + 2 * count);
            for (std::size_t i = 0; i < count; ++i) {
                const ObjectRef& key = dictionary.entries()[i].first;
                if (key->kind() != Kind::string) unwritable("a dictionary key is not a string");
                references_[first + i] = flatten(*key);
            }
            for (std::size_t i = 0; i < count; ++i)
                references_[first + count + i] = flatten(*dictionary.entries()[i].second);
        } else if (object.kind() != Kind::number && object.kind() != Kind::date &&
                   object.kind() != Kind::data && object.kind() != Kind::string) {
            unwritable("a " + object.className() + " object has no property-list form");
        }
        return index;
    }

    void put(std::uint8_t byte) { out_.push_back(byte); }

    void putBigEndian(std::uint64_t value, std::size_t width) {
        for (std::size_t i = width; i-- > 0;) put(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    void putMarker(std::uint8_t type, std::uint64_t count) {
        if (count < 15) return put(static_cast<std::uint8_t>(type << 4 | count));
        put(static_cast<std::uint8_t>(type << 4 | 0xF));
        putInteger(count);
    }

    void putInteger(std::uint64_t value) {
        std::uint8_t width = widthFor(value);
        std::uint8_t info = width == 1 ? 0 : width == 2 ? 1 : width <= 4 ? 2 : 3;
        put(static_cast<std::uint8_t>(0x10 | info));
        putBigEndian(value, std::size_t{1} << info);
    }

    void writeObject(const Entry& entry) {
        const Object& object = *entry.object;
        switch (object.kind()) {
            case Kind::string: {
                const std::string& text = static_cast<const String&>(object).text();
                if (unicode::isAscii(text)) {
                    putMarker(0x5, text.size());
                    out_.insert(out_.end(), text.begin(), text.end());
                } else {
                    std::string utf16;
                    std::size_t units = unicode::appendUtf8AsUtf16BigEndian(utf16, text);
                    putMarker(0x6, units);
                    out_.insert(out_.end(), utf16.begin(), utf16.end());
                }
                return;
            }
            case Kind::number:
                return writeNumber(static_cast<const Number&>(object));
            case Kind::date:
                put(0x33);
                return putBigEndian(std::bit_cast<std::uint64_t>(
                                        static_cast<const Date&>(object).timeIntervalSinceReferenceDate()),
                                    8);
            case Kind::data: {
                const auto& bytes = static_cast<const Data&>(object).bytes();
                putMarker(0x4, bytes.size());
                out_.insert(out_.end(), bytes.begin(), bytes.end());
                return;
            }
            case Kind::array:
                putMarker(0xA, static_cast<const Array&>(object).count());
                return putReferences(entry.firstReference, static_cast<const Array&>(object).count());
            case Kind::dictionary:
                putMarker(0xD, static_cast<const Dictionary&>(object).count());
                return putReferences(entry.firstReference,
                                     2 * static_cast<const Dictionary&>(object).count());
            default:
                return;
        }
    }

    void writeNumber(const Number& number) {
        switch (numberForm(number)) {
            case NumberForm::boolean:
                return put(number.boolValue() ? 0x09 : 0x08);
            case NumberForm::signedInteger: {
                std::int64_t value = number.integerValue();
                if (value >= 0 && value <= 0xFFFFFFFF) return putInteger(static_cast<std::uint64_t>(value));
                put(0x13);
                return putBigEndian(static_cast<std::uint64_t>(value), 8);
            }
            case NumberForm::unsignedInteger:
                // Above the signed maximum: a 128-bit integer with a zero high half.
                put(0x14);
                putBigEndian(0, 8);
                return putBigEndian(number.unsignedIntegerValue(), 8);
            case NumberForm::real:
                put(0x23);
                return putBigEndian(std::bit_cast<std::uint64_t>(number.doubleValue()), 8);
        }
    }

    void putReferences(std::size_t first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) putBigEndian(references_[first + i], referenceWidth_);
    }

    std::vector<std::uint8_t>& out_;
    std::vector<Entry> objects_;
    std::vector<std::uint64_t> references_;
    std::unordered_map<std::string_view, std::uint64_t> strings_;
    std::unordered_map<const Object*, std::uint64_t> shared_;
    std::uint8_t referenceWidth_ = 1;
    std::size_t depth_ = 0;
};

}  // namespace

ObjectRef readBinary(std::span<const std::uint8_t> bytes) { return BinaryReader(bytes).read(); }

void writeBinary(const ObjectRef& root, std::vector<std::uint8_t>& out) {
    BinaryWriter(out).write(root);
}

}  // namespace base::plist
