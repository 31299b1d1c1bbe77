#include "ObjectWire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

#include "Corral/base/Objects.h"

namespace wire {
namespace {

constexpr std::size_t kMaxFrame = 16u << 20;

void putInteger(Bytes& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putBytes(Bytes& out, const void* data, std::size_t size) {
    if (size > UINT32_MAX) throw WireError("too long to encode");
    putInteger(out, size, 4);
    const auto* p = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

void put(Bytes& out, const base::ObjectRef& object) {
    if (auto s = base::cast<base::String>(object)) {
        out.push_back('s');
        putBytes(out, s->text().data(), s->text().size());
    } else if (auto n = base::cast<base::Number>(object)) {
        out.push_back('n');
        if (n->typeCode().size() > 255) throw WireError("type code too long");
        out.push_back(static_cast<std::uint8_t>(n->typeCode().size()));
        out.insert(out.end(), n->typeCode().begin(), n->typeCode().end());
        out.push_back(static_cast<std::uint8_t>(n->storage()));
        putInteger(out,
                   n->storage() == base::Number::Storage::floatingPoint
                       ? std::bit_cast<std::uint64_t>(n->doubleValue())
                       : n->unsignedIntegerValue(),
                   8);
    } else if (auto d = base::cast<base::Data>(object)) {
        out.push_back('b');
        putBytes(out, d->bytes().data(), d->bytes().size());
    } else if (auto t = base::cast<base::Date>(object)) {
        out.push_back('t');
        putInteger(out, std::bit_cast<std::uint64_t>(t->timeIntervalSinceReferenceDate()), 8);
    } else if (auto a = base::cast<base::Array>(object)) {
        out.push_back('a');
        putInteger(out, a->count(), 4);
        for (const auto& element : *a) put(out, element);
    } else if (auto dict = base::cast<base::Dictionary>(object)) {
        out.push_back('d');
        putInteger(out, dict->count(), 4);
        for (const auto& [key, value] : *dict) {
            put(out, key);
            put(out, value);
        }
    } else {
        throw WireError("not in the object representation: " +
                        (object ? object->className() : std::string("nil")));
    }
}

class Reader {
public:
    explicit Reader(const Bytes& bytes) : bytes_(bytes) {}

    base::ObjectRef object() {
        switch (byte()) {
            case 's':
                return base::String::make(text(integer(4)));
            case 'n': {
                std::string code = text(byte());
                auto storage = byte();
                if (storage > static_cast<int>(base::Number::Storage::floatingPoint)) {
                    throw WireError("bad number storage");
                }
                return std::make_shared<base::Number>(
                    std::move(code), static_cast<base::Number::Storage>(storage), integer(8));
            }
            case 'b': {
                std::string raw = text(integer(4));
                return base::Data::make(std::vector<std::uint8_t>(raw.begin(), raw.end()));
            }
            case 't':
                return base::Date::withTimeIntervalSinceReferenceDate(
                    std::bit_cast<double>(integer(8)));
            case 'a': {
                std::vector<base::ObjectRef> elements;
                for (auto count = integer(4); count > 0; --count) elements.push_back(object());
                return base::Array::make(std::move(elements));
            }
            case 'd': {
                std::vector<base::Dictionary::Entry> entries;
                for (auto count = integer(4); count > 0; --count) {
                    auto key = object();
                    entries.emplace_back(std::move(key), object());
                }
                return base::Dictionary::make(std::move(entries));
            }
            default:
                throw WireError("unknown tag");
        }
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::uint8_t byte() {
        need(1);
        return bytes_[at_++];
    }
    std::uint64_t integer(int size) {
        need(static_cast<std::size_t>(size));
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) value |= std::uint64_t(bytes_[at_++]) << (8 * i);
        return value;
    }
    std::string text(std::uint64_t size) {
        need(size);
        std::string result(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                           bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
        at_ += size;
        return result;
    }
    void need(std::uint64_t size) const {
        if (size > bytes_.size() - at_) throw WireError("truncated object");
    }

    const Bytes& bytes_;
    std::size_t at_ = 0;
};

// Reads exactly `size` bytes; false when the input ends before the first.
bool readAll(int socket, std::uint8_t* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(socket, into + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw WireError(std::string("read: ") + std::strerror(errno));
        if (n == 0) {
            if (done == 0) return false;
            throw WireError("frame cut short");
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

Bytes encode(const base::ObjectRef& object) {
    Bytes out;
    put(out, object);
    return out;
}

base::ObjectRef decode(const Bytes& bytes) {
    Reader reader(bytes);
    auto object = reader.object();
    if (!reader.atEnd()) throw WireError("bytes after the object");
    return object;
}

void writeFrame(int socket, const base::ObjectRef& object) {
    Bytes body = encode(object);
    Bytes frame;
    putInteger(frame, body.size(), 4);
    frame.insert(frame.end(), body.begin(), body.end());
    std::size_t done = 0;
    while (done < frame.size()) {
        ssize_t n = ::send(socket, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw WireError(std::string("send: ") + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

std::optional<base::ObjectRef> readFrame(int socket) {
    std::uint8_t header[4];
    if (!readAll(socket, header, sizeof header)) return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= std::uint32_t(header[i]) << (8 * i);
    if (size > kMaxFrame) throw WireError("frame too large");
    Bytes body(size);
    if (size > 0 && !readAll(socket, body.data(), size)) throw WireError("frame cut short");
    return decode(body);
}

}  // namespace wire
