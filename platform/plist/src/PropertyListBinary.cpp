// The binary property-list reader and writer (the format is described in
// BinaryObjects.h).

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <optional>
#include <utility>

#include "BinaryObjects.h"
#include "LargeTableAllocator.h"
#include "OutputBuffer.h"
#include "PropertyListCodec.h"
#include "Unicode.h"

namespace base::plist {

namespace {

// Reading

// Tells one reading from every other in the process, so that a sink never
// takes an object index of one input for the same index of another.
std::uint64_t newReading() noexcept {
    static std::atomic<std::uint64_t> readings{0};
    return readings.fetch_add(1, std::memory_order_relaxed) + 1;
}

// Walks the object graph from the root, reporting each object where it is
// referred to: an object referred to twice is reported twice, unless the sink
// takes the second by identity.
class BinaryReader {
public:
    BinaryReader(std::span<const std::uint8_t> bytes, PropertyListSink& sink)
        : objects_(bytes), sink_(sink) {}

    void read() {
        marks_.resize(objects_.objectCount(), false);
        // Objects may be shared, but not so often that walking the graph as
        // a tree would produce far more than the file spells out: every
        // value reported costs a node, data and strings their length too.
        bytesLeft_ = binaryExpansionAllowance(objects_.bytes().size());
        object(objects_.rootIndex());
    }

private:
    void object(std::uint64_t index, bool asKey = false) {
        spend(binaryNodeCost);
        std::uint64_t offset = objects_.offsetOf(index);
        std::uint8_t marker = *objects_.take(offset, 1);
        std::uint8_t info = marker & 0xF;
        ++offset;
        std::uint8_t type = marker >> 4;
        if (asKey && type != 0x5 && type != 0x6) invalid("a dictionary key is not a string");
        switch (type) {
            case 0x0:
                if (info != 0x8 && info != 0x9) invalid("unsupported object type");
                if (takenAgain(index, asKey)) return;
                return sink_.boolean(info == 0x9);
            case 0x1:
                return integer(index, info, offset);
            case 0x2:
            case 0x3: {
                if (info != 2 && info != 3) invalid("a real or date has an unsupported size");
                if (type == 0x3 && info != 3) invalid("a date has an unsupported size");
                const std::uint8_t* p = objects_.take(offset, std::uint64_t{1} << info);
                double value =
                    info == 2
                        ? std::bit_cast<float>(static_cast<std::uint32_t>(readBigEndian(p, 4)))
                        : std::bit_cast<double>(readBigEndian(p, 8));
                if (takenAgain(index, asKey)) return;
                return type == 0x3 ? sink_.date(value) : sink_.real(value);
            }
            case 0x4: {
                std::uint64_t length = objects_.count(info, offset);
                spend(length);
                const std::uint8_t* p = objects_.take(offset, length);
                if (takenAgain(index, asKey)) return;
                return sink_.data(std::span<const std::uint8_t>(p, length));
            }
            case 0x5: {
                std::uint64_t length = objects_.count(info, offset);
                spend(length);
                std::string_view text(reinterpret_cast<const char*>(objects_.take(offset, length)),
                                      length);
                // Its checks passed when it was first reported.
                if (takenAgain(index, asKey)) return;
                if (!unicode::isAscii(text)) invalid("an ASCII string holds a non-ASCII byte");
                return asKey ? sink_.key(text) : sink_.string(text);
            }
            case 0x6: {
                std::uint64_t units = objects_.count(info, offset);
                if (units > objects_.tableOffset() / 2)
                    invalid("an object runs past the object area");
                const std::uint8_t* p = objects_.take(offset, units * 2);
                spend(units * 3);  // a UTF-16 unit is up to three bytes of UTF-8
                if (takenAgain(index, asKey)) return;
                text_.clear();
                if (!unicode::appendUtf16BigEndianAsUtf8(text_, p, units))
                    invalid("a string is not valid UTF-16");
                return asKey ? sink_.key(text_) : sink_.string(text_);
            }
            case 0xA:
            case 0xD: {
                // Only a container can lead back to itself.
                if (marks_[index]) invalid("object references form a cycle");
                std::uint64_t elements = objects_.count(info, offset);
                DepthGuard guard(depth_, false);
                marks_[index] = true;
                if (type == 0xA) {
                    const std::uint8_t* refs = objects_.references(elements, offset);
                    sink_.beginArray();
                    for (std::uint64_t i = 0; i < elements; ++i)
                        object(objects_.reference(refs, i));
                } else {
                    if (elements > objects_.tableOffset() / 2)
                        invalid("an object runs past the object area");
                    const std::uint8_t* keys = objects_.references(elements * 2, offset);
                    const std::uint8_t* values = keys + elements * objects_.referenceWidth();
                    sink_.beginDictionary();
                    for (std::uint64_t i = 0; i < elements; ++i) {
                        object(objects_.reference(keys, i), true);
                        object(objects_.reference(values, i));
                    }
                }
                marks_[index] = false;
                return sink_.endContainer();
            }
            default:
                invalid("unsupported object type");
        }
    }

    // Charges `bytes` of output against what the file may expand to.
    void spend(std::uint64_t bytes) {
        if (bytes > bytesLeft_)
            invalid("objects are shared so often that the list would expand beyond its size");
        bytesLeft_ -= bytes;
    }

    // Whether the sink takes scalar `index`, reported before during this
    // reading, as that value again. Otherwise the caller reports it, and it
    // is marked as reported.
    bool takenAgain(std::uint64_t index, bool asKey) {
        if (!marks_[index]) {
            marks_[index] = true;
            return false;
        }
        return sink_.repeated({reading_, index, asKey});
    }

    void integer(std::uint64_t index, std::uint8_t info, std::uint64_t offset) {
        if (info > 4) invalid("an integer has an unsupported size");
        std::uint64_t width = std::uint64_t{1} << info;
        const std::uint8_t* p = objects_.take(offset, width);
        // One, two and four bytes are unsigned; eight bytes are signed.
        // Sixteen bytes: a signed 128-bit integer, kept when it fits in 64
        // bits, signed or unsigned.
        std::uint64_t value = readBigEndian(p, info < 3 ? width : 8);
        bool isUnsigned = false;
        if (info == 4) {
            std::uint64_t high = value;
            value = readBigEndian(p + 8, 8);
            if (high == 0) {
                isUnsigned = true;
            } else if (high != ~std::uint64_t{0} || !(value >> 63)) {
                invalid("an integer does not fit in 64 bits");
            }
        }
        if (takenAgain(index, false)) return;
        if (isUnsigned) return reportInteger(sink_, value, false);
        sink_.integer(static_cast<std::int64_t>(value));
    }

    BinaryObjects objects_;
    PropertyListSink& sink_;
    std::uint64_t reading_ = newReading();
    // A container's mark: it is being read, and meeting it again is a
    // cycle. A scalar's: it has been reported.
    std::vector<bool> marks_;
    std::uint64_t bytesLeft_ = 0;
    std::size_t depth_ = 0;
    std::string text_;
};

// Writing

// A hash of `head` followed by `body`, eight bytes at a time.
std::uint32_t hashOf(std::span<const std::uint8_t> head, std::span<const std::uint8_t> body) {
    std::uint64_t hash = 0x9E3779B97F4A7C15u ^ (head.size() << 32 | body.size());
    auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0xBF58476D1CE4E5B9u;
        hash ^= hash >> 31;
    };
    auto mixAll = [&mix](std::span<const std::uint8_t> bytes) {
        const std::uint8_t* p = bytes.data();
        std::size_t n = bytes.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            mix(word);
        }
        if (n) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, n);
            mix(word);
        }
    };
    mixAll(head);
    mixAll(body);
    hash *= 0x94D049BB133111EBu;
    return static_cast<std::uint32_t>(hash >> 32);
}

// Objects are written as they complete, children before their container,
// so the root comes last. Equal strings, booleans and integers are written
// once and shared: a new one is looked up among those written before it is
// written. Containers are written at the end, when the object count, and
// with it the width of a reference, is known.
//
// The look-ups land at random places in tables of many megabytes, each a
// wait for memory. So values are not handled as they arrive but gathered in
// a short queue, the table slots each will look at being fetched meanwhile,
// and handled in their order when the queue is full: the waits overlap. The
// output is the same as handling each value at once. What makes a value
// unwritable (bad UTF-8, too deep) is found when it arrives, so every
// failure is still thrown by the call that meets it.
//
// A reader that tells which stored object of its input a value comes from
// lets the writer remember the object it became: a value of that input met
// again is then one look-up by its index, with no hash of its bytes and no
// comparison. Only values met a second time are remembered, so the table
// stays as small as the set of values the input shares.
class BinaryWriter final : public BufferedWriter {
public:
    BinaryWriter(PropertyListOutput* output, std::size_t sizeHint)
        : BufferedWriter(output, sizeHint), small_(sizeHint / 1024), large_(sizeHint / 128) {
        out_.put(binaryHeader);
        // Room for the objects a list of that size holds, at a guess of one
        // in sixteen bytes and twice as many references of a byte or two, so
        // that the tables seldom grow. Room that is not used costs no memory.
        offsets_.reserve(sizeHint / 16);
        containerReferences_.reserve(sizeHint / 4);
        containers_.reserve(sizeHint / 64);
        queue_.reserve(queueLength);
    }

    void beginDictionary() override {
        enterLevel(depth_, true);
        enqueue({Pending::dictionary});
    }
    void beginArray() override {
        enterLevel(depth_, true);
        enqueue({Pending::array});
    }
    void endContainer() override {
        --depth_;
        enqueue({Pending::end});
    }

    void key(std::string_view text) override { string(text); }

    bool repeated(const StoredObject& object) override {
        if (object.read != inputRead_) {
            // Values of the previous reading still queued are remembered
            // under its indexes before the table is given to this one.
            handleQueue();
            byInput_ = ScalarIndex<std::uint32_t, mixed32>(0);
            inputRead_ = object.read;
        }
        // Objects of an input past 2^31 are not remembered: the table
        // keeps its keys in 32 bits.
        if (object.index > INT32_MAX) return false;
        auto key = static_cast<std::uint32_t>(object.index << 1 | (object.asKey ? 1 : 0));
        if (std::optional<std::uint32_t> found = byInput_.find(key)) {
            // Known, or to be known once the value it was given as is handled.
            Pending pending{*found == waiting ? Pending::again : Pending::known};
            pending.key = *found == waiting ? key : *found;
            enqueue(pending);
            return true;
        }
        input_ = key;
        return false;
    }

    void string(std::string_view text) override {
        Head head;
        if (unicode::isAscii(text)) {
            head.marker(0x5, text.size());
            return shared(head, bytesOf(text));
        }
        // A value that fails is remembered as no object.
        std::uint64_t input = std::exchange(input_, noInput);
        checkWritable(text);
        input_ = input;
        utf16_.clear();
        std::size_t units = unicode::appendUtf8AsUtf16BigEndian(utf16_, text);
        head.marker(0x6, units);
        shared(head, bytesOf(utf16_));
    }

    void boolean(bool value) override {
        Head head;
        head.put(value ? 0x09 : 0x08);
        shared(head, {});
    }

    void integer(std::int64_t value) override {
        Head head;
        if (value >= 0 && value <= 0xFFFFFFFF) {
            head.integer(static_cast<std::uint64_t>(value));
        } else {
            head.put(0x13);
            head.bigEndian(static_cast<std::uint64_t>(value), 8);
        }
        shared(head, {});
    }

    void unsignedInteger(std::uint64_t value) override {
        if (value <= static_cast<std::uint64_t>(INT64_MAX))
            return integer(static_cast<std::int64_t>(value));
        // Above the signed maximum: a 128-bit integer with a zero high half.
        Head head;
        head.put(0x14);
        head.bigEndian(0, 8);
        head.bigEndian(value, 8);
        shared(head, {});
    }

    // Reals, dates and data seldom repeat: they are not looked up.
    void real(double value) override { eightBytes(0x23, std::bit_cast<std::uint64_t>(value)); }
    void date(double seconds) override { eightBytes(0x33, std::bit_cast<std::uint64_t>(seconds)); }

    void data(std::span<const std::uint8_t> bytes) override {
        Head head;
        head.marker(0x4, bytes.size());
        enqueue({Pending::unshared}, head.bytes(), bytes);
    }

    std::vector<std::uint8_t> finish() override {
        handleQueue();
        std::uint64_t count = offsets_.size();
        std::uint8_t referenceWidth = widthFor(count - 1);
        std::uint64_t containersStart = out_.size();
        const std::uint8_t* reference = containerReferences_.data();
        {
            Run run(out_, referenceWidth);
            for (const Container& container : containers_) {
                run.put(containerHead(container).bytes());
                for (std::size_t i = 0; i < container.count; ++i)
                    run.put(container.index - readDistance(reference));
            }
        }
        std::uint64_t tableOffset = out_.size();
        std::uint8_t offsetWidth = widthFor(tableOffset);
        // Containers lie one after another from containersStart, in the
        // order of their indexes.
        std::size_t next = 0;
        std::uint64_t containerOffset = containersStart;
        {
            Run run(out_, offsetWidth);
            for (std::uint64_t index = 0; index < count; ++index) {
                if (next < containers_.size() && containers_[next].index == index) {
                    run.put(containerOffset);
                    const Container& container = containers_[next++];
                    containerOffset +=
                        containerHead(container).bytes().size() + container.count * referenceWidth;
                } else {
                    run.put(offsetOf(index));
                }
            }
        }
        std::uint8_t trailer[8] = {0, 0, 0, 0, 0, 0, offsetWidth, referenceWidth};
        out_.put(trailer, sizeof trailer);
        putBigEndian(count, 8);
        putBigEndian(count - 1, 8);  // the root is the last object
        putBigEndian(tableOffset, 8);
        return complete();
    }

private:
    // The marker and any length or value bytes of a scalar: at most a
    // marker, an integer marker and eight bytes, or a 128-bit integer.
    class Head {
    public:
        void put(std::uint8_t byte) { bytes_[size_++] = byte; }
        void bigEndian(std::uint64_t value, std::size_t width) {
            for (std::size_t i = width; i-- > 0;) put(static_cast<std::uint8_t>(value >> (8 * i)));
        }
        void integer(std::uint64_t value) {
            std::uint8_t width = widthFor(value);
            std::uint8_t info = width == 1 ? 0 : width == 2 ? 1 : width <= 4 ? 2 : 3;
            put(static_cast<std::uint8_t>(0x10 | info));
            bigEndian(value, std::size_t{1} << info);
        }
        void marker(std::uint8_t type, std::uint64_t count) {
            if (count < 15) return put(static_cast<std::uint8_t>(type << 4 | count));
            put(static_cast<std::uint8_t>(type << 4 | 0xF));
            integer(count);
        }
        std::span<const std::uint8_t> bytes() const { return {bytes_, size_}; }

    private:
        std::uint8_t bytes_[17];
        std::size_t size_ = 0;
    };

    // Numbers of one width, big-endian, and the container heads between
    // them, gathered a few kilobytes at a time on their way to the output.
    class Run {
    public:
        Run(OutputBuffer& out, std::size_t width) : out_(out), width_(width) {}
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;
        ~Run() { out_.put(bytes_, used_); }

        // `value` must fit in the width.
        void put(std::uint64_t value) {
            if (used_ > sizeof bytes_ - 8) flush();
            std::uint64_t word = value << (64 - 8 * width_);
            if constexpr (std::endian::native == std::endian::little)
                word = __builtin_bswap64(word);
            std::memcpy(bytes_ + used_, &word, sizeof word);
            used_ += width_;
        }
        void put(std::span<const std::uint8_t> bytes) {
            if (used_ + bytes.size() > sizeof bytes_) flush();
            std::memcpy(bytes_ + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        }

    private:
        void flush() {
            out_.put(bytes_, used_);
            used_ = 0;
        }
        OutputBuffer& out_;
        std::size_t width_;
        std::size_t used_ = 0;
        std::uint8_t bytes_[4096];
    };

    // A value waiting in the queue. The bytes of a scalar (its head, then
    // its body) are in queued_, one after another in the order of the queue.
    struct Pending {
        enum Kind : std::uint8_t {
            dictionary,
            array,
            end,
            small,
            large,
            unshared,
            known,  // an object given before
            again   // the object a value queued before turns out to be
        } kind;
        std::uint8_t headSize = 0;
        std::uint32_t hash = 0;  // large: of the head and body
        // small: the bytes, padded with zeros; known: the object; again: the
        // input object, as a key of byInput_
        std::uint64_t key = 0;
        std::size_t bodySize = 0;
        // small and large: the stored input object the value comes from,
        // as a key of byInput_, or noInput
        std::uint64_t input = noInput;
    };
    static constexpr std::uint64_t noInput = UINT64_MAX;

    static constexpr std::size_t queueLength = 64;
    static constexpr std::size_t queuedBytes = 16 * 1024;
    // Past this many objects and references, values are handled one by one.
    static constexpr std::size_t nearLimit = INT32_MAX - 4 * queueLength;

    static std::span<const std::uint8_t> bytesOf(std::string_view text) {
        return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
    }

    // Queues a value, or handles it at once: a long one (not worth the
    // copy), and every one near the limits on objects and references, where
    // the check of each must see all before it handled.
    void enqueue(Pending pending, std::span<const std::uint8_t> head = {},
                 std::span<const std::uint8_t> body = {}) {
        input_ = noInput;  // it named the object of this value only
        if (body.size() > queuedBytes || offsets_.size() + children_.size() > nearLimit) {
            handleQueue();
            return handle(pending, head, body);
        }
        pending.headSize = static_cast<std::uint8_t>(head.size());
        pending.bodySize = body.size();
        // Below queuedBytes before, at most a head and queuedBytes more.
        std::uint8_t* end = queued_.get() + queuedSize_;
        if (!head.empty()) std::memcpy(end, head.data(), head.size());
        if (!body.empty()) std::memcpy(end + head.size(), body.data(), body.size());
        queuedSize_ += head.size() + body.size();
        queue_.push_back(pending);
        if (queue_.size() == queueLength || queuedSize_ >= queuedBytes) handleQueue();
    }

    void handleQueue() {
        const std::uint8_t* bytes = queued_.get();
        for (const Pending& pending : queue_) {
            std::span<const std::uint8_t> head(bytes, pending.headSize);
            std::span<const std::uint8_t> body(bytes + pending.headSize, pending.bodySize);
            bytes += pending.headSize + pending.bodySize;
            handle(pending, head, body);
        }
        queue_.clear();
        queuedSize_ = 0;
    }

    void handle(const Pending& pending, std::span<const std::uint8_t> head,
                std::span<const std::uint8_t> body) {
        switch (pending.kind) {
            case Pending::dictionary:
            case Pending::array:
                open_.push_back({pending.kind == Pending::dictionary, children_.size()});
                return;
            case Pending::end:
                return close();
            case Pending::small:
                return remember(pending.input, sharedSmall(pending.key, head));
            case Pending::large:
                return remember(pending.input, sharedLarge(pending.hash, head, body));
            case Pending::known:
                return addChild(pending.key);
            case Pending::again:
                return addChild(*byInput_.find(static_cast<std::uint32_t>(pending.key)));
            case Pending::unshared:
                addScalar();
                out_.put(head);
                out_.put(body);
                return;
        }
    }

    // A string, boolean or integer: refers to an equal one written before,
    // or is written as a new object. One of up to eight bytes is its own
    // key; a longer one is found by its hash and compared with what was
    // written.
    void shared(const Head& head, std::span<const std::uint8_t> body) {
        auto headBytes = head.bytes();
        Pending pending;
        pending.input = input_;
        if (input_ != noInput)
            byInput_.findOrAdd(static_cast<std::uint32_t>(input_), waiting,
                               [](std::uint32_t) { return true; });
        if (headBytes.size() + body.size() <= 8) {
            // The marker fixes the length, so the bytes padded with zeros
            // stand for the scalar.
            std::uint8_t packed[8] = {};
            std::memcpy(packed, headBytes.data(), headBytes.size());
            if (!body.empty()) std::memcpy(packed + headBytes.size(), body.data(), body.size());
            pending.kind = Pending::small;
            std::memcpy(&pending.key, packed, sizeof pending.key);
            small_.prefetch(pending.key);
            return enqueue(pending,
                           std::span<const std::uint8_t>(packed, headBytes.size() + body.size()));
        }
        pending.kind = Pending::large;
        pending.hash = hashOf(headBytes, body);
        large_.prefetch(pending.hash);
        enqueue(pending, headBytes, body);
    }

    // These return the object the value is.
    std::uint32_t sharedSmall(std::uint64_t key, std::span<const std::uint8_t> bytes) {
        auto index = static_cast<std::uint32_t>(offsets_.size());
        auto found = small_.findOrAdd(key, index, [](std::uint32_t) { return true; });
        if (found) {
            addChild(*found);
            return *found;
        }
        addScalar();
        out_.put(bytes);
        return index;
    }

    std::uint32_t sharedLarge(std::uint32_t hash, std::span<const std::uint8_t> head,
                              std::span<const std::uint8_t> body) {
        auto index = static_cast<std::uint32_t>(offsets_.size());
        auto found = large_.findOrAdd(
            hash, index, [&](std::uint32_t candidate) { return sameAs(candidate, head, body); });
        if (found) {
            addChild(*found);
            return *found;
        }
        addScalar();
        out_.put(head);
        out_.put(body);
        return index;
    }

    // The stored input object `input` is object `index`.
    void remember(std::uint64_t input, std::uint32_t index) {
        if (input != noInput) byInput_.assign(static_cast<std::uint32_t>(input), index);
    }

    struct Open {
        bool dictionary;
        std::size_t firstChild;
    };

    void close() {
        const Open& container = open_.back();
        std::size_t first = container.firstChild;
        if (children_.size() - first > INT32_MAX) unwritable("a container holds too many objects");
        Container written{static_cast<std::uint32_t>(offsets_.size()),
                          static_cast<std::uint32_t>(children_.size() - first),
                          container.dictionary};
        // A dictionary lists its keys, then its values.
        if (container.dictionary) {
            for (std::size_t i = first; i < children_.size(); i += 2)
                keepReference(written.index, children_[i]);
            for (std::size_t i = first + 1; i < children_.size(); i += 2)
                keepReference(written.index, children_[i]);
        } else {
            for (std::size_t i = first; i < children_.size(); ++i)
                keepReference(written.index, children_[i]);
        }
        children_.resize(first);
        open_.pop_back();
        containers_.push_back(written);
        offsets_.push_back(0);  // known when the containers are written
        if (offsets_.size() > UINT32_MAX) unwritable("the list holds too many objects");
        addChild(written.index);
    }

    // A container ended: its references follow those of the container
    // before it in containerReferences_.
    //
    // A reference is kept as its distance back from the container, seven
    // bits a byte, low bits first, the high bit saying more follow: children
    // mostly come just before their container, so most take a byte or two.
    void keepReference(std::uint32_t container, std::uint32_t child) {
        std::uint32_t distance = container - child;
        while (distance >= 0x80) {
            containerReferences_.push_back(static_cast<std::uint8_t>(distance | 0x80));
            distance >>= 7;
        }
        containerReferences_.push_back(static_cast<std::uint8_t>(distance));
    }

    static std::uint32_t readDistance(const std::uint8_t*& at) {
        std::uint32_t distance = 0;
        for (unsigned shift = 0;; shift += 7) {
            std::uint8_t byte = *at++;
            distance |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return distance;
        }
    }
    struct Container {
        std::uint32_t index;
        std::uint32_t count : 31;  // of references: twice the entries of a dictionary
        std::uint32_t dictionary : 1;
    };

    static Head containerHead(const Container& container) {
        Head head;
        head.marker(container.dictionary ? 0xD : 0xA,
                    container.dictionary ? container.count / 2 : container.count);
        return head;
    }

    // Scalars are written in the order of their indexes, so their offsets
    // only grow: each is kept in 32 bits, with the indexes at which the
    // offsets pass each further 4 GiB on the side.
    std::uint64_t offsetOf(std::uint64_t index) const {
        auto passed = std::upper_bound(highStarts_.begin(), highStarts_.end(), index);
        return offsets_[index] | static_cast<std::uint64_t>(passed - highStarts_.begin()) << 32;
    }

    void addChild(std::uint64_t index) {
        if (index > UINT32_MAX) unwritable("the list holds too many objects");
        if (!open_.empty()) children_.push_back(static_cast<std::uint32_t>(index));
    }

    void putBigEndian(std::uint64_t value, std::size_t width) {
        for (std::size_t i = width; i-- > 0;) out_.put(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    void eightBytes(std::uint8_t marker, std::uint64_t bits) {
        Head head;
        head.put(marker);
        head.bigEndian(bits, 8);
        enqueue({Pending::unshared}, head.bytes());
    }

    // The scalar about to be written at the end becomes a new object.
    void addScalar() {
        std::uint64_t index = offsets_.size();
        std::uint64_t offset = out_.size();
        while ((offset >> 32) > highStarts_.size())
            highStarts_.push_back(static_cast<std::uint32_t>(index));
        offsets_.push_back(static_cast<std::uint32_t>(offset));
        addChild(index);
    }

    // Whether object `candidate` is `head` followed by `body`. A scalar
    // found equal once is likely to be met again: it is copied aside, so
    // that later comparisons need not read back what was written long ago.
    bool sameAs(std::uint32_t candidate, std::span<const std::uint8_t> head,
                std::span<const std::uint8_t> body) {
        std::optional<std::uint32_t> copied = copiedAt_.find(candidate);
        if (copied) {
            std::uint32_t length;
            std::memcpy(&length, copies_.data() + *copied, sizeof length);
            const std::uint8_t* bytes = copies_.data() + *copied + sizeof length;
            return length == head.size() + body.size() &&
                   std::memcmp(bytes, head.data(), head.size()) == 0 &&
                   (body.empty() ||
                    std::memcmp(bytes + head.size(), body.data(), body.size()) == 0);
        }
        if (!writtenAs(offsetOf(candidate), head, body)) return false;
        std::size_t length = head.size() + body.size();
        if (copies_.size() + length + 4 <= UINT32_MAX) {
            auto at = static_cast<std::uint32_t>(copies_.size());
            auto length32 = static_cast<std::uint32_t>(length);
            auto* lengthBytes = reinterpret_cast<const std::uint8_t*>(&length32);
            copies_.insert(copies_.end(), lengthBytes, lengthBytes + sizeof length32);
            copies_.insert(copies_.end(), head.begin(), head.end());
            copies_.insert(copies_.end(), body.begin(), body.end());
            copiedAt_.findOrAdd(candidate, at, [](std::uint32_t) { return true; });
        }
        return true;
    }

    // Whether the object at `offset` is `head` followed by `body`. The head
    // gives the length, so bytes of later objects never pass for the body.
    bool writtenAs(std::uint64_t offset, std::span<const std::uint8_t> head,
                   std::span<const std::uint8_t> body) {
        auto written = out_.at(offset, head.size() + body.size());
        return !written.empty() && std::memcmp(written.data(), head.data(), head.size()) == 0 &&
               (body.empty() ||
                std::memcmp(written.data() + head.size(), body.data(), body.size()) == 0);
    }

    template <class T>
    using Table = std::vector<T, LargeTableAllocator<T>>;

    static std::uint64_t mixed(std::uint64_t key) { return (key * 0x9E3779B97F4A7C15u) >> 32; }
    static std::uint64_t itself(std::uint32_t hash) { return hash; }
    static std::uint64_t mixed32(std::uint32_t key) { return mixed(key); }

    // The scalars written so far, from a key to their object index, in an
    // open-addressing table kept at most three quarters full.
    template <class Key, std::uint64_t (*hashOf)(Key)>
    class ScalarIndex {
    public:
        explicit ScalarIndex(std::size_t expected) {
            std::size_t slots = 64;
            while (slots / 4 * 3 < expected) slots *= 2;
            slots_.assign(slots, Slot{});
        }

        // The index of an entry under `key` that `same` accepts; else
        // `index` is added under `key` and there is none.
        template <class Same>
        std::optional<std::uint32_t> findOrAdd(Key key, std::uint32_t index, Same same) {
            if (4 * (used_ + 1) > 3 * slots_.size()) grow();
            std::size_t mask = slots_.size() - 1;
            for (std::size_t slot = hashOf(key) & mask;; slot = (slot + 1) & mask) {
                Slot& entry = slots_[slot];
                if (entry.index == empty) {
                    entry = {key, index};
                    ++used_;
                    return std::nullopt;
                }
                if (entry.key == key && same(entry.index)) return entry.index;
            }
        }

        // Asks for the slot where a look-up of `key` starts to be fetched.
        void prefetch(Key key) const {
            __builtin_prefetch(&slots_[hashOf(key) & (slots_.size() - 1)]);
        }

        // Gives the entry under `key`, when each key has one, `index`.
        void assign(Key key, std::uint32_t index) {
            std::size_t mask = slots_.size() - 1;
            for (std::size_t slot = hashOf(key) & mask; slots_[slot].index != empty;
                 slot = (slot + 1) & mask) {
                if (slots_[slot].key == key) return void(slots_[slot].index = index);
            }
        }

        // The index of the entry under `key`, when each key has one entry.
        std::optional<std::uint32_t> find(Key key) const {
            std::size_t mask = slots_.size() - 1;
            for (std::size_t slot = hashOf(key) & mask;; slot = (slot + 1) & mask) {
                const Slot& entry = slots_[slot];
                if (entry.index == empty) return std::nullopt;
                if (entry.key == key) return entry.index;
            }
        }

    private:
        static constexpr std::uint32_t empty = UINT32_MAX;
        struct Slot {
            Key key{};
            std::uint32_t index = empty;
        };
        void grow() {
            Table<Slot> old = std::move(slots_);
            slots_.assign(old.size() * 2, Slot{});
            std::size_t mask = slots_.size() - 1;
            for (const Slot& entry : old) {
                if (entry.index == empty) continue;
                std::size_t slot = hashOf(entry.key) & mask;
                while (slots_[slot].index != empty) slot = (slot + 1) & mask;
                slots_[slot] = entry;
            }
        }
        Table<Slot> slots_;
        std::size_t used_ = 0;
    };

    Table<std::uint32_t> offsets_;  // of scalars by object index, their low 32 bits
    std::vector<std::uint32_t> highStarts_;
    std::vector<Open> open_;
    Table<std::uint32_t> children_;  // object indexes of the open containers' children
    Table<Container> containers_;
    Table<std::uint8_t> containerReferences_;
    ScalarIndex<std::uint64_t, mixed> small_;
    ScalarIndex<std::uint32_t, itself> large_;
    // Copies of scalars that were found written before, by object index:
    // each copy is a 32-bit length and the bytes.
    ScalarIndex<std::uint32_t, mixed32> copiedAt_{0};
    Table<std::uint8_t> copies_;
    // Objects by the stored input object they were given as, for values
    // met again: keys are an object's index and whether it was a key.
    ScalarIndex<std::uint32_t, mixed32> byInput_{0};
    // In byInput_, an object whose value waits in the queue.
    static constexpr std::uint32_t waiting = UINT32_MAX - 1;
    std::uint64_t inputRead_ = 0;    // the reading those indexes belong to
    std::uint64_t input_ = noInput;  // the input object of the value to come
    std::vector<Pending> queue_;
    // The bytes of the queued scalars.
    std::unique_ptr<std::uint8_t[]> queued_{new std::uint8_t[2 * queuedBytes + 32]};
    std::size_t queuedSize_ = 0;
    std::string utf16_;
    std::size_t depth_ = 0;
};

}  // namespace

void readBinary(std::span<const std::uint8_t> bytes, PropertyListSink& sink) {
    BinaryReader(bytes, sink).read();
}

std::unique_ptr<PropertyListWriter> makeBinaryWriter(PropertyListOutput* output,
                                                     std::size_t sizeHint) {
    return std::make_unique<BinaryWriter>(output, sizeHint);
}

}  // namespace base::plist
